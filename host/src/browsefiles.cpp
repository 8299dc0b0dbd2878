// The listing of a folder.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "c4d_file.h"
#include "host_control.h"

namespace fs = std::filesystem;

struct BrowseFiles::Impl {
  struct Entry {
    std::string name;  // UTF-8
    bool folder;
    LLONG size;
  };
  std::vector<Entry> entries;
  size_t next = 0;  // one past the current entry; 0 before the first GetNext
};

BrowseFiles::BrowseFiles() : impl_(new Impl) {}

BrowseFiles::~BrowseFiles() = default;

BrowseFiles* BrowseFiles::Alloc() { return new BrowseFiles(); }

void BrowseFiles::Free(BrowseFiles*& browser) {
  delete browser;
  browser = nullptr;
}

void BrowseFiles::Init(const Filename& dir, LONG /*flags*/) {
  impl_->entries.clear();
  impl_->next = 0;
  if (!dir.Content()) return;
  std::error_code ec;
  fs::directory_iterator it(fs::u8path(host::ToUtf8(dir.GetString())), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code entryError;
    bool folder = it->is_directory(entryError);
    LLONG size = 0;
    if (!folder) {
      std::uintmax_t n = it->file_size(entryError);
      if (!entryError) size = static_cast<LLONG>(n);
    }
    impl_->entries.push_back({it->path().filename().u8string(), folder, size});
  }
  std::sort(impl_->entries.begin(), impl_->entries.end(),
            [](const Impl::Entry& a, const Impl::Entry& b) { return a.name < b.name; });
}

Bool BrowseFiles::GetNext() {
  if (impl_->next >= impl_->entries.size()) {
    impl_->next = impl_->entries.size() + 1;
    return false;
  }
  ++impl_->next;
  return true;
}

Filename BrowseFiles::GetFilename() const {
  if (impl_->next == 0 || impl_->next > impl_->entries.size()) return Filename();
  return Filename(String(impl_->entries[impl_->next - 1].name));
}

Bool BrowseFiles::IsDir() const {
  if (impl_->next == 0 || impl_->next > impl_->entries.size()) return false;
  return impl_->entries[impl_->next - 1].folder;
}

LLONG BrowseFiles::GetSize() const {
  if (impl_->next == 0 || impl_->next > impl_->entries.size()) return 0;
  return impl_->entries[impl_->next - 1].size;
}
