// Generator caches, set by the host's side (its cache building, a test).
// Nothing here is part of the plug-in interface.
#pragma once

class BaseObject;

namespace host {

/// Gives `generator` the object tree `cache` as its cache, taken out of any list; the generator
/// owns it from now on and frees its former cache. Every object of the tree answers `generator`
/// as its cache parent. A null `cache` only frees the former one; a null generator frees `cache`.
void SetCache(BaseObject* generator, BaseObject* cache);

/// Gives `op` a deformed form: the stand-in has no deformers of its own, so the embedding program
/// says what a deformer would have made (of a polygon object, or of the top object of a
/// generator's cache). `op` owns `cache` from now on, which lies in `op`'s space and answers `op`
/// as its cache parent; null removes it. A deform cache lives as long as the object that holds
/// it: a rebuilt generator cache comes without one.
void SetDeformCache(BaseObject* op, BaseObject* cache);
/// Takes `cache` (the cache or the deform cache of `op`) away from `op`; the caller owns it then.
void DetachCache(BaseObject* op, BaseObject* cache);

}  // namespace host
