#include "files/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include "files/internal.h"

namespace files {

namespace {

/// Something this process made and may still have to remove: the entry `name` of `folder`.
struct Entry {
  Folder folder;
  std::string name;
  registry::Kind kind;
  struct stat made;  ///< a folder's status when made: only that folder is removed
  bool known;        ///< `made` was read
};

struct Registry {
  std::mutex mutex;
  std::map<uint64_t, Entry> live;
  std::vector<Place> left;  ///< `LeftBehind`
  uint64_t next = 1;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: an exiting thread may still use it
  return *registry;
}

std::atomic<bool> g_interrupted{false};  ///< set under the registry's lock

/// Removes what `entry` names.
void RemoveEntry(const Entry& entry) {
  if (entry.kind == registry::Kind::kFile)
    ::unlinkat(entry.folder.Descriptor(), entry.name.c_str(), 0);
  else if (entry.known)
    RemoveTree(entry.folder, entry.name, &entry.made);
}

}  // namespace

namespace registry {

Result Add(const Folder& folder, const std::string& name, Kind kind, const std::function<Result()>& make,
           uint64_t* id) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (g_interrupted) return Result::Interrupted();
  // Made under the lock and registered at once, so that an interruption either comes first (and
  // nothing is made) or finds it.
  Result made = make();
  if (!made.ok()) return made;
  *id = registry.next++;
  Entry entry{folder, name, kind, {}, false};
  if (kind == Kind::kFolder)  // its name may be another folder's later: only this one is removed
    entry.known = ::fstatat(folder.Descriptor(), name.c_str(), &entry.made, AT_SYMLINK_NOFOLLOW) == 0;
  registry.live.emplace(*id, std::move(entry));
  return made;
}

Result Settle(uint64_t id, const std::function<Result()>& step, const uint64_t* also, size_t alsoCount) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (g_interrupted) return Result::Interrupted();
  const auto found = registry.live.find(id);
  if (found == registry.live.end()) return Result::System(ENOENT);
  Result done = step();
  if (!done.ok()) return done;
  registry.live.erase(found);
  for (size_t i = 0; i < alsoCount; ++i) registry.live.erase(also[i]);
  return done;
}

void Remove(uint64_t id) {
  if (id == 0) return;
  const int saved = errno;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const auto found = registry.live.find(id);
  if (found != registry.live.end()) {
    RemoveEntry(found->second);
    registry.live.erase(found);
  }
  errno = saved;
}

void Forget(uint64_t id) {
  if (id == 0) return;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.live.erase(id);
}

}  // namespace registry

bool Interrupt() {
  const int saved = errno;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const bool first = !g_interrupted.exchange(true);
  // Files first: a temporary in a new folder goes with its folder anyway.
  for (const auto& entry : registry.live)
    if (entry.second.kind == registry::Kind::kFile) RemoveEntry(entry.second);
  for (const auto& [id, entry] : registry.live) {
    if (entry.kind == registry::Kind::kFolder) RemoveEntry(entry);
    if (entry.kind == registry::Kind::kEmptied &&  // left as it is, and named while it is there
        ::faccessat(entry.folder.Descriptor(), entry.name.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
      registry.left.push_back({entry.folder, entry.name});
  }
  registry.live.clear();
  errno = saved;
  return first;
}

bool Interrupted() { return g_interrupted.load(); }

Result WhileRunning(const std::function<Result()>& step) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return g_interrupted ? Result::Interrupted() : step();
}

std::vector<Place> LeftBehind() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return registry.left;
}

size_t RegisteredCount() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return registry.live.size();
}

}  // namespace files
