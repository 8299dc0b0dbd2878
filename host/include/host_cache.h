// Generator caches, set by the host's side (its cache building, a test).
// Nothing here is part of the plug-in interface.
#pragma once

class BaseObject;

namespace host {

/// Gives `generator` the object tree `cache` as its cache, taken out of any list; the generator
/// owns it from now on and frees its former cache. Every object of the tree answers `generator`
/// as its cache parent. A null `cache` only frees the former one; a null generator frees `cache`.
void SetCache(BaseObject* generator, BaseObject* cache);

}  // namespace host
