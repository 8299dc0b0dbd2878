#include "object/orvanedllwrapper.h"

#include "c4d_thread.h"

OrvaneDLLWrapper::OrvaneDLLWrapper() : lock_(Semaphore::Alloc()) {}

OrvaneDLLWrapper::~OrvaneDLLWrapper() { Semaphore::Free(lock_); }
