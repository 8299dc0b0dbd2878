#include "utils/refcounted.h"

RefCounted::~RefCounted() { CORVANE_ASSERT(refcount == 0); }
