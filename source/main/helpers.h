// Free functions that read host data in the form the exporter and the other parts need.
#pragma once

#include <string>
#include <vector>

#include "c4d.h"
#include "files/folder.h"

namespace Helpers {

/// The texture tags that apply to an object, right-most first (pointers owned by the document).
typedef std::vector<TextureTag*> TextureTagList;

/// The host string's own integer conversion; 0 when the text holds no number.
int StringToLong(const String& s);
/// The host string's own real conversion ('.' as the point, no unit); 0 when it holds none.
double StringToReal(const String& s);
/// The decimal text of `v`.
String ULongToString(unsigned int v);
/// The text in UTF-8, up to its first zero character.
std::string ToUTF8String(const String& s);
/// The text with every blank replaced by "_".
String ConvertString(String s);
/// Writes the text's UTF-8 bytes (no terminator, no length); false when the file refused them.
Bool WriteString(String s, BaseFile* file);
/// Writes the string's bytes (no terminator, no length); false when the file refused them.
Bool WriteCString(std::string s, BaseFile* file);
/// The host's startup write path.
Filename GetWritePath();
/// Why a file the host was asked to write at `file` (an image) was not written, in the words of
/// `files::Result::Text`: the target refused (a folder, a FIFO, a device, a link loop), its folder
/// missing or refused (another user's in a shared folder, named with its owner), else the `errno`
/// the failed call left (`error`), else "the file could not be written".
std::string WriteFailure(const Filename& file, int error);
/// True when `path` (UTF-8) is short enough for the system to open: at most PATH_MAX - 1 bytes. A
/// path the plug-in prints as written or hands on (to the renderer, inside a scene) must be.
bool PathFits(const std::string& path);
/// Walks the folder `dir` that the plug-in writes into, making its last name when missing (see
/// files/folder.h for the rule for shared folders); `*folder` (when given) is it, open. "" or the
/// reason it cannot be used (`files::Result::Text`).
std::string UseFolder(const Filename& dir, files::Folder* folder = nullptr);

/// The parameter container of the document's first enabled render-settings video post in its
/// active render data (owned by the host), or null.
BaseContainer* GetOrvaneRenderSettingsData(BaseDocument* doc);
/// Metres per host unit: from the render settings' scene unit, or, without settings, from the
/// host's unit preference.
double GetGlobalScale(BaseContainer* settings);

/// Number of tags of the object; -1 for a null object.
int GetTagCount(BaseObject* op);
/// The tag at `index` (0 = first); null for a null object or past the end.
BaseTag* GetTag(BaseObject* op, unsigned int index);
/// The first animation tag on the object, else on its nearest ancestor that has one; or null.
BaseTag* GetAniTag(BaseObject* op);
/// The selection the texture tag is restricted to; empty for none and for a null tag.
String GetSelectionName(TextureTag* tag);
/// The texture tags that apply to the object, right-most first: from the right-most tag leftwards
/// up to and including the first unrestricted one; without any texture tag, the right-most
/// texture tag of the nearest ancestor (parent, or generator for a cache object) that has one.
TextureTagList GetUsedTextureTags(BaseObject* op);
/// The tag for a polygon selection: the first in `tags` restricted to a selection of the name of
/// `selection`, else (also without a selection) the first unrestricted one; null when none.
TextureTag* GetTexTagWithSelection(TextureTagList& tags, BaseTag* selection);
/// The most UTF-8 bytes of an exported material name: the longest string a mesh file holds.
constexpr size_t kMaxMaterialNameBytes = 1024;
/// The one maker of exported material names: `name` + "_mid" + `position` (the material's place
/// in its document's material list, 0 first), or + "_NID" for a negative position (in no list).
/// The name (up to a zero character) is cut at a character boundary so that the whole stays
/// within `kMaxMaterialNameBytes` in UTF-8; the suffix is always whole.
String MaterialExportName(const String& name, LONG position);
/// The material's name in every exported file: `MaterialExportName` of its name and its position
/// in `doc`'s material list (found by walking that list). Empty for a null material. An export
/// reads the names from its `MaterialNameTable` instead.
String GetUniqueMaterialName(BaseMaterial* mat, BaseDocument* doc);
/// True when the top-most object of the object's parent chain whose render mode is on or off has
/// it off; false for a null object and when none has either.
bool GetObjectRenderMode(BaseObject* op);
/// True when `other` is the object or one of its ancestors (through parents, and from a cache to
/// its generator).
bool IsLinkedParent(BaseObject* op, BaseObject const* other);
/// The object's scale (its axis lengths) multiplied component-wise by those of all its parents.
LVector GetObjectScale(BaseObject* op);
/// The matrix with the same translation and its 3 x 3 part transposed.
LMatrix GetTranspose(const LMatrix& m);

/// Where the texture lies for a document in `documentPath`: a name whose second character is ":"
/// is returned as it is; otherwise the host's texture search decides. A texture that cannot be
/// found keeps its name, so that the user can still see and mend it; `found` (when given) then
/// says false.
Filename GetTexturePath(Filename texture, Filename documentPath, bool* found = nullptr);
/// Resolves the file names of the bitmap shaders among `shader`, its following siblings and all
/// their children against the document's folder. A name that cannot be found is kept.
void FixTexturePaths(BaseShader* shader, BaseDocument* doc);
/// The file that `relative` names in `directory` (both '/'-separated; backslashes of `relative`
/// count as '/'). Computed per path component: "." and empty components drop out, ".." removes
/// the directory's last component; at the root of an absolute directory ".." stays at the root,
/// as the operating system resolves it. An absolute `relative` is the result itself.
std::string GetAbsoluteFilename(std::string directory, std::string relative);
/// `file` relative to `directory`, per path component ("../" for each directory component past
/// the common ones). "" when either is shorter than 4 characters; `file` unchanged when their
/// first characters differ (another drive, or an absolute and a relative name); "." for the
/// directory itself.
std::string GetRelativeFilename(std::string directory, std::string file);

/// New texture coordinates for `op` from the texture tag's projection, placed by the object that
/// carries the tag; owned by the caller, inserted nowhere; null when the host made none. The tag
/// and the document stay unchanged.
UVWTag* GenerateUVWTag(BaseDocument* doc, TextureTag* tag, PolygonObject* op);
/// Fills the bitmap with the shader's colours over the texture square 0..1, one sample per pixel
/// centre, through the host's texture baking (bitmap file names resolved against `doc`'s folder).
/// Nothing happens for a null bitmap or shader. True when the host baked the whole image; false
/// when it refused (a shader that could not prepare, a size it does not bake), the image then
/// being left as it was or partly baked.
Bool BakeShaderToBitmap(MultipassBitmap* bitmap, BaseShader* shader, BaseDocument* doc);

/// Shows or hides the entry `id` of a loaded description; entries the description lacks are
/// skipped.
void HideDescriptionEntry(Description* description, LONG id, Bool hide);

/// A stopwatch over the host's millisecond timer.
struct StopTime {
  /// 0 (`kMinutesAndSeconds`) gives minutes and seconds; any other value seconds only.
  typedef int ReturnFormat;
  static constexpr ReturnFormat kMinutesAndSeconds = 0;
  static constexpr ReturnFormat kSeconds = 1;

  /// Start time in milliseconds of the host's timer.
  ULONG start = 0;

  /// Sets the start to now.
  void Start();
  /// The time since the start: "1.234 s", or with minutes "1 m, 15.500 s".
  String GetElapsed(ReturnFormat format) const;
};

}  // namespace Helpers
