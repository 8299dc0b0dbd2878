// A material archive's material file must lie at its top level: the renderer's unpacking reads
// only that. For an archive whose material file lies in a folder of it instead, the plug-in's
// import and the runner's material check name what they found there, in the same words. Header
// only; whoever includes it has the host's headers.
#pragma once

#include "c4d_file.h"
#include "c4d_string.h"

#include <string>
#include <vector>

namespace Helpers {

/// True for the name of a material file: ".ovm", the suffix in any case, but no "._" file, in which
/// macOS's archivers keep another file's attributes (beside it, or below "__MACOSX").
inline bool IsMaterialFileName(const Filename& name) {
  return name.CheckSuffix("ovm") && !(name.GetString().Left(2) == String("._"));
}

namespace nested {

// `NestedMaterialFile` for the folder `dir`, which lies `depth` folders below the one looked
// into first, its entries named with `prefix` before them.
inline String Find(const Filename& dir, const String& prefix, int depth) {
  // An unpacked archive goes no deeper (ZipFile refuses entries more than 64 names deep).
  constexpr int kDeepest = 64;
  String found;
  BrowseFiles* browser = BrowseFiles::Alloc();
  if (!browser) return found;
  browser->Init(dir, 0);
  while (!found.Content() && browser->GetNext()) {
    const Filename name = browser->GetFilename();
    const String text = name.GetString();
    if (browser->IsDir()) {
      if (depth < kDeepest) found = Find(dir + name, prefix + text + "/", depth + 1);
    } else if (depth > 0 && IsMaterialFileName(name)) {
      found = prefix + text;
    }
  }
  BrowseFiles::Free(browser);
  return found;
}

}  // namespace nested

/// The first material file in the folders below `dir`, in name order, each
/// folder looked into where its name comes: its path relative to `dir`, '/'-separated
/// ("mat/good.ovm"); empty when there is none. The files of `dir` itself are not looked at, and
/// only names `IsMaterialFileName` takes count. For the folder an archive was unpacked into.
inline String NestedMaterialFile(const Filename& dir) { return nested::Find(dir, String(), 0); }

/// The words for an archive whose material file lies in a folder of it, `found` being its path
/// in the archive (`NestedMaterialFile`).
inline String NotAtTopLevelText(const String& found) {
  return String("the material file must be at the archive's top level; found ") + found;
}

/// The words for an archive that holds the material files `top` (".ovm" files at its top level, in
/// name order) of which `took` is taken, when there are several: "holds 2 material files at its
/// top level: took a.ovm, left b.ovm"; "" for one.
inline String SeveralMaterialFilesText(const std::vector<String>& top, const String& took) {
  if (top.size() < 2) return String();
  String left;
  for (const String& name : top)
    if (name != took) left += String(left.Content() ? ", " : "") + name;
  return String("holds ") + String::LongToString(LONG(top.size())) +
         " material files at its top level: took " + took + ", left " + left;
}

}  // namespace Helpers
