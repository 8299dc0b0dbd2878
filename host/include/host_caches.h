// The host's side of object caches. Nothing here is part of the plug-in interface.
#pragma once

class BaseObject;

namespace host {

/// Gives `op` a deformed form: the stand-in has no deformers of its own, so the embedding program
/// says what a deformer would have made. `op` owns `cache` from now on (null removes it); cache
/// rebuilds keep it.
void SetDeformCache(BaseObject* op, BaseObject* cache);
/// Takes `cache` (the cache or the deform cache of `op`) away from `op`; the caller owns it then.
void DetachCache(BaseObject* op, BaseObject* cache);

}  // namespace host
