// The shared anchor behind weak links: a node clears it when it is freed.
#pragma once

#include <atomic>
#include <memory>

class BaseList2D;

namespace host {

/// Points at a live node, or at nothing once the node is gone.
struct LinkAnchor {
  std::atomic<BaseList2D*> node{nullptr};
};

/// The anchor of `node`, created on first use.
std::shared_ptr<LinkAnchor> AnchorOf(BaseList2D* node);

}  // namespace host
