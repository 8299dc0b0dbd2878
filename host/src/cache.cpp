// Generator caches.
#include "host_cache.h"

#include <vector>

#include "c4d_baseobject.h"

namespace host {

void SetCache(BaseObject* generator, BaseObject* cache) {
  if (cache) cache->Remove();
  if (!generator) {
    GeListNode::Destroy(cache);
    return;
  }
  if (generator->cache_ && generator->cache_ != cache) GeListNode::Destroy(generator->cache_);
  generator->cache_ = cache;
  if (!cache) return;
  // Every object of the tree, the top one and all below it.
  cache->cacheParent_ = generator;
  std::vector<BaseObject*> pending;
  if (cache->GetDown()) pending.push_back(cache->GetDown());
  while (!pending.empty()) {
    BaseObject* op = pending.back();
    pending.pop_back();
    op->cacheParent_ = generator;
    if (op->GetNext()) pending.push_back(op->GetNext());
    if (op->GetDown()) pending.push_back(op->GetDown());
  }
}

}  // namespace host
