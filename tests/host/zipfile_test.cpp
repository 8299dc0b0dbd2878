// ZIP archives, CRC-32, folder listings and pseudo-random numbers of the host.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "archive/unpackfailure.h"
#include "c4d.h"
#include "support/host_fixture.h"
#include "support/zip_writer.h"

namespace {

namespace fs = std::filesystem;

// Every path below `root`, relative to it, sorted.
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> paths;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    paths.insert(it->path().lexically_relative(root).string());
  return paths;
}

Bool Extract(const fs::path& zip, const fs::path& dir, LONG flags = ZIP_EXTRACT_CREATE_SUBDIR) {
  ZipFile* z = ZipFile::Alloc();
  Bool ok = z->ExtractToDirectory(Filename(String(zip.string())), Filename(String(dir.string())), flags);
  ZipFile::Free(z);
  EXPECT_EQ(z, nullptr);
  return ok;
}

// The error left by extracting `zip` into `dir`; -1 when it disagrees with the result. The
// system's reason in words goes to `*text`, what was found to `*detail`.
LONG ExtractError(const fs::path& zip, const fs::path& dir, std::string* text = nullptr,
                  std::string* detail = nullptr) {
  ZipFile* z = ZipFile::Alloc();
  const bool ok = z->ExtractToDirectory(Filename(String(zip.string())), Filename(String(dir.string())));
  const LONG error = z->GetError();
  if (text) *text = z->GetSystemErrorText();
  if (detail) *detail = z->GetErrorDetail();
  ZipFile::Free(z);
  return ok == (error == ZIPERROR_NONE) ? error : -1;
}

// The little-endian numbers (value, bytes) one after the other.
std::string Le(std::initializer_list<std::pair<uint64_t, int>> fields) {
  std::string out;
  for (const auto& [value, bytes] : fields)
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

// An archive of the one deflated entry "z.ovm" holding `text` that gives every size and offset in
// ZIP64 fields: escaped in both headers, and found through the ZIP64 end records.
std::string MakeZip64(const std::string& text) {
  const std::string data = Deflate(text);
  const uint64_t x = 0xFFFFFFFFu, crc = ZipFile::CalcCRC32(text.data(), VLONG(text.size())), n = text.size();
  // clang-format off
  const std::string local =
      Le({{0x04034b50, 4}, {45, 2}, {0, 2}, {8, 2}, {0, 2}, {33, 2}, {crc, 4}, {x, 4}, {x, 4}, {5, 2}, {20, 2}}) +
      "z.ovm" + Le({{1, 2}, {16, 2}, {n, 8}, {data.size(), 8}}) + data;
  const std::string central =
      Le({{0x02014b50, 4}, {45, 2}, {45, 2}, {0, 2}, {8, 2}, {0, 2}, {33, 2}, {crc, 4}, {x, 4}, {x, 4}, {5, 2},
          {28, 2}, {0, 6}, {0, 4}, {x, 4}}) +
      "z.ovm" + Le({{1, 2}, {24, 2}, {n, 8}, {data.size(), 8}, {0, 8}});
  return local + central +
         Le({{0x06064b50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 8}, {1, 8}, {1, 8}, {central.size(), 8},
             {local.size(), 8}, {0x07064b50, 4}, {0, 4}, {local.size() + central.size(), 8}, {1, 4},
             {0x06054b50, 4}, {0, 4}, {x, 4}, {x, 4}, {x, 4}, {0, 2}});
  // clang-format on
}

// `zip` with the `bytes`-byte little-endian number at `at` set to `value`.
std::string Patched(std::string zip, size_t at, uint32_t value, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) zip[at + i] = static_cast<char>(value >> (8 * i));
  return zip;
}

// --- CRC-32 ---------------------------------------------------------------------

// Agreement with zlib on any buffer and any split is shown in crc32_identity_test.cpp.
TEST(ZipCrcTest, MatchesTheZipCheckValueAndNoBytesLeaveTheStartValue) {
  EXPECT_EQ(ZipFile::CalcCRC32("123456789", 9, 0), 0xCBF43926u);
  EXPECT_EQ(ZipFile::CalcCRC32("x", 0, 0x12345678u), 0x12345678u);
  EXPECT_EQ(ZipFile::CalcCRC32(nullptr, 10, 7), 7u);
  EXPECT_EQ(ZipFile::CalcCRC32("x", -1, 7), 7u);
}

// --- Extraction -----------------------------------------------------------------

class ZipExtractTest : public ::testing::Test {
 protected:
  TempDir tmp;
  fs::path root{tmp.path()};
  fs::path zip = root / "archive.povm";
  fs::path out = root / "out";
};

TEST_F(ZipExtractTest, ExtractsFilesAndFolders) {
  ASSERT_TRUE(WriteZip(zip.string(), {{"mat.ovm", "<material/>"},
                                      {"textures/", ""},
                                      {"textures/wood.png", std::string("\x89PNG\0\1", 6)},
                                      {"deep/er/x.txt", "x"}}));
  ASSERT_TRUE(Extract(zip, out));
  EXPECT_EQ(ReadFile(out / "mat.ovm"), "<material/>");
  EXPECT_EQ(ReadFile(out / "textures/wood.png"), std::string("\x89PNG\0\1", 6));
  EXPECT_EQ(ReadFile(out / "deep/er/x.txt"), "x");
  EXPECT_EQ(Tree(out), (std::set<std::string>{"deep", "deep/er", "deep/er/x.txt", "mat.ovm", "textures",
                                              "textures/wood.png"}));

  // Entries that go to and fro between folders it made hold no descriptor each, in a folder that
  // was there before too: 600 of them unpack with 64 descriptors.
  std::vector<ZipEntry> entries;
  for (int i = 0; i < 600; ++i) entries.push_back({(i % 2 ? "a/" : "b/") + std::to_string(i), "x"});
  ASSERT_TRUE(WriteZip(zip.string(), entries));
  fs::remove_all(out);
  fs::create_directory(out);
  rlimit limit, low;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  low = {64, limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool extracted = Extract(zip, out);
  // Nor do files beside their targets in a folder that was there before.
  std::vector<ZipEntry> beside;
  for (int i = 0; i < 600; ++i) beside.push_back({"top" + std::to_string(i), "y"});
  ASSERT_TRUE(WriteZip((root / "beside.povm").string(), beside));
  const bool besideExtracted = Extract(root / "beside.povm", out);
  ::setrlimit(RLIMIT_NOFILE, &limit);
  // Nor do folders that were there before, however many: 2,000 folders unpack into the same folder
  // twice, then a new folder in each. A file replaced there keeps its mode; a link there is
  // replaced itself.
  std::vector<ZipEntry> folders, deeper;
  for (int i = 0; i < 2000; ++i) {
    folders.push_back({"k" + std::to_string(i) + "/f", "1"});
    deeper.push_back({"k" + std::to_string(i) + "/n/", ""});
    deeper.push_back({"k" + std::to_string(i) + "/n/g", "2"});
  }
  ASSERT_TRUE(WriteZip((root / "folders.povm").string(), folders));
  ASSERT_TRUE(WriteZip((root / "deeper.povm").string(), deeper));
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool first = Extract(root / "folders.povm", out);
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ASSERT_TRUE(first);
  ASSERT_EQ(::chmod((out / "k0/f").c_str(), 0604), 0);
  fs::remove(out / "k1/f");
  fs::create_symlink(root / "outside", out / "k1/f");
  std::ofstream(root / "outside") << "outside";
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool second = Extract(root / "folders.povm", out);
  const bool third = Extract(root / "deeper.povm", out);
  ::setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_TRUE(extracted);
  EXPECT_TRUE(besideExtracted);
  EXPECT_TRUE(second);
  EXPECT_TRUE(third);
  EXPECT_EQ(Tree(out).size(), 1202u + 8000u);
  struct stat st;
  ASSERT_EQ(::stat((out / "k0/f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_FALSE(fs::is_symlink(out / "k1/f"));
  EXPECT_EQ(ReadFile(out / "k1/f") + ReadFile(out / "k1999/n/g"), "12");
  EXPECT_EQ(ReadFile(root / "outside"), "outside");
}

TEST_F(ZipExtractTest, OverwritesFilesOfAnEarlierExtraction) {
  ASSERT_TRUE(WriteZip(zip.string(), {{"mat.ovm", "new"}}));
  fs::create_directories(out);
  std::ofstream(out / "mat.ovm") << "old and longer";
  ASSERT_TRUE(Extract(zip, out));
  EXPECT_EQ(ReadFile(out / "mat.ovm"), "new");
}

TEST_F(ZipExtractTest, WithoutTheFolderFlagAnEntryInAMissingFolderFails) {
  ASSERT_TRUE(WriteZip(zip.string(), {{"sub/a.txt", "a"}}));
  EXPECT_FALSE(Extract(zip, out, 0));
  EXPECT_FALSE(fs::exists(out / "sub"));
  fs::create_directories(out / "sub");
  EXPECT_TRUE(Extract(zip, out, 0));
  EXPECT_EQ(ReadFile(out / "sub/a.txt"), "a");
}

TEST_F(ZipExtractTest, RefusesNamesThatLeadOutOfTheFolder) {
  // A backslash separates folders as a slash does; a name in the form of the file module's
  // temporaries would be taken by a later sweep.
  const std::string temporary = ".red.png.tmp-0123456789ab-12-ABCDEFGHIJ";
  const std::string unsafe[] = {"../evil.ovm",
                                "/abs.ovm",
                                "a/../../evil.ovm",
                                "a/..",
                                "..",
                                "..\\evil.ovm",
                                "\\abs.ovm",
                                "C:/evil.ovm",
                                "sub/../x.ovm",
                                "a\\..\\..\\evil.ovm",
                                "C:\\evil.ovm",
                                ".",
                                "tex/" + temporary,
                                "tex\\" + temporary,
                                temporary + "/x.ovm"};
  for (const std::string& name : unsafe) {
    // The safe entry comes first: nothing at all is written for a refused archive.
    ASSERT_TRUE(WriteZip(zip.string(), {{"good.ovm", "g"}, {name, "evil"}}));
    EXPECT_EQ(ExtractError(zip, out), ZIPERROR_UNSAFE_NAME) << name;
    EXPECT_FALSE(fs::exists(out / "good.ovm")) << name;
    EXPECT_FALSE(fs::exists(root / "evil.ovm")) << name;
    EXPECT_FALSE(fs::exists("/abs.ovm")) << name;
  }
}

TEST_F(ZipExtractTest, DotsInsideNamesAreAllowed) {
  // "./" is the folder packed, as tar-like tools write it with `-C folder .`: the root itself.
  ASSERT_TRUE(WriteZip(zip.string(), {{"./", ""}, {"a..b.ovm", "1"}, {"./c.ovm", "2"}, {"..d/e", "3"}}));
  ASSERT_TRUE(Extract(zip, out));
  EXPECT_EQ(ReadFile(out / "a..b.ovm"), "1");
  EXPECT_EQ(ReadFile(out / "c.ovm"), "2");
  EXPECT_EQ(ReadFile(out / "..d/e"), "3");
  EXPECT_EQ(Tree(out), (std::set<std::string>{"a..b.ovm", "c.ovm", "..d", "..d/e"}));
}

TEST_F(ZipExtractTest, WritesNothingThroughSymbolicLinks) {
  fs::path outside = root / "outside";
  fs::create_directories(outside);
  fs::create_directories(out);
  fs::create_directory_symlink(outside, out / "link");
  ASSERT_TRUE(WriteZip(zip.string(), {{"link/x.ovm", "evil"}}));
  EXPECT_FALSE(Extract(zip, out));
  EXPECT_TRUE(fs::is_empty(outside));

  // A link in the place of a file is replaced, not written through.
  fs::create_symlink(outside / "target.ovm", out / "file.ovm");
  ASSERT_TRUE(WriteZip(zip.string(), {{"file.ovm", "mine"}}));
  EXPECT_TRUE(Extract(zip, out));
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::is_symlink(out / "file.ovm"));
  EXPECT_EQ(ReadFile(out / "file.ovm"), "mine");
}

// A link's entry (as bsdtar, zip -y and 7-Zip's -snl write one) that leads to a file entry of the
// archive is unpacked as a copy of that file; any other is left out and named. No link is made, and
// none is written as a file holding its target; what a link leads through is the archive's own.
TEST_F(ZipExtractTest, LinksToFilesOfTheArchiveAreCopiesAndOthersAreLeftOutByName) {
  const std::string png = "\x89PNG";
  // A chain of 40 links to a file, and a 41st.
  std::vector<RawZipEntry> chain{ZipStored("real.png", png)};
  for (int i = 0; i <= ZipFile::kMaxLinks; ++i)
    chain.push_back(ZipLink("l" + std::to_string(i), i == 0 ? "real.png" : "l" + std::to_string(i - 1)));
  std::set<std::string> chained{"real.png"};
  for (int i = 0; i < ZipFile::kMaxLinks; ++i) chained.insert("l" + std::to_string(i));
  const struct {
    std::string what;
    std::vector<RawZipEntry> entries;
    std::set<std::string> tree;  // every file of it holds `png`
    std::vector<std::string> leftOut;
  } rows[] = {
      {"a folder packed by bsdtar",
       {ZipStored("./", ""), ZipStored("./real.png", png), ZipStored("./tex/", ""),
        ZipLink("./tex/red.png", "../real.png")},
       {"real.png", "tex", "tex/red.png"},
       {}},
      {"a link before its file, backslashes separating names",
       {ZipLink("tex\\red.png", "..\\tex\\.\\blue.png"), ZipStored("tex/blue.png", png)},
       {"tex", "tex/blue.png", "tex/red.png"},
       {}},
      {"a chain of links", chain, chained, {"left out l40: a link to l39, through more than 40 links"}},
      {"outside the archive",
       {ZipStored("real.png", png), ZipLink("tex/red.png", "/etc/hostname"), ZipLink("up.png", "../real.png"),
        ZipLink("tex/far.png", "../../real.png"), ZipLink("c.png", "C:\\real.png"),
        ZipLink("via.png", "up.png")},
       {"real.png"},
       {"left out tex/red.png: a link to /etc/hostname, outside the archive",
        "left out up.png: a link to ../real.png, outside the archive",
        "left out tex/far.png: a link to ../../real.png, outside the archive",
        "left out c.png: a link to C:\\real.png, outside the archive",
        "left out via.png: a link to up.png, a link that is left out"}},
      {"no file of the archive",
       {ZipStored("real.png", png), ZipStored("tex/", ""), ZipLink("folder.png", "tex"),
        ZipLink("none.png", "blue.png"), ZipLink("self.png", "./self.png"), ZipLink("a.png", "b.png"),
        ZipLink("b.png", "a.png"), ZipLink("through.png", "real.png/x"), ZipLink("empty.png", ""),
        ZipLink("long.png", std::string(PATH_MAX, 'x')), ZipLink("esc.png", "\x1b]0;owned\a"),
        // Links to those links: each is left out for its target, whatever that link's reason.
        ZipLink("to-folder.png", "folder.png"), ZipLink("to-self.png", "self.png")},
       {"real.png", "tex"},
       {"left out folder.png: a link to tex, a folder",
        "left out none.png: a link to blue.png, which the archive does not hold",
        "left out self.png: a link to ./self.png, itself", "left out a.png: a link to b.png, a loop of links",
        "left out b.png: a link to a.png, a loop of links",
        "left out through.png: a link to real.png/x, which the archive does not hold",
        "left out empty.png: an empty link", "left out long.png: a link longer than a path may be",
        "left out esc.png: a link to \x1b]0;owned\a, which the archive does not hold",
        "left out to-folder.png: a link to folder.png, a link that is left out",
        "left out to-self.png: a link to self.png, a link that is left out"}},
      // As bsdtar packs a folder that holds a link to its folder of textures and links through it.
      {"through a link left out",
       {ZipStored("textures/red.png", png), ZipLink("tex", "textures"), ZipLink("alias.png", "tex/red.png"),
        ZipLink("alias2.png", "alias.png"), ZipStored("real.png", png), ZipLink("copy.png", "real.png"),
        ZipLink("past.png", "copy.png/x"), ZipLink("gone.png", "none.png"), ZipLink("to.png", "gone.png")},
       {"textures", "textures/red.png", "real.png", "copy.png"},
       {"left out tex: a link to textures, a folder",
        "left out alias.png: a link to tex/red.png, through tex, a link that is left out",
        "left out alias2.png: a link to alias.png, a link that is left out",
        "left out past.png: a link to copy.png/x, which the archive does not hold",
        "left out gone.png: a link to none.png, which the archive does not hold",
        "left out to.png: a link to gone.png, a link that is left out"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(out);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << MakeRawZip(row.entries);
    ZipFile* z = ZipFile::Alloc();
    EXPECT_TRUE(z->ExtractToDirectory(Filename(String(zip.string())), Filename(String(out.string()))))
        << z->GetErrorDetail();
    std::vector<std::string> leftOut;
    for (const ZipFile::LeftOut& link : z->GetLeftOut()) leftOut.push_back(Helpers::LeftOutText(link));
    ZipFile::Free(z);
    EXPECT_EQ(leftOut, row.leftOut);
    EXPECT_EQ(Tree(out), row.tree);
    for (const std::string& path : Tree(out)) {
      EXPECT_FALSE(fs::is_symlink(out / path)) << path;
      if (!fs::is_directory(out / path)) {
        EXPECT_EQ(ReadFile(out / path), png) << path;
      }
    }
  }
  // The renderer stand-in names what it left out, and unpacks the rest.
  TempDir renderer;
  const std::string standin = renderer / "OrvaneConsole";
  fs::copy_file(CORVANE_RENDERER_DIR "/Orvane.app/Contents/MacOS/OrvaneConsole", standin);
  fs::remove_all(out);
  std::ofstream(zip, std::ios::binary | std::ios::trunc) << MakeRawZip(rows[3].entries);
  std::string said;
  EXPECT_EQ(
      RunCommand(standin + " --unpack " + zip.string() + " " + out.string() + " 2>" + (root / "err").string(),
                 &said),
      0);
  std::string lines;
  for (const std::string& line : rows[3].leftOut) lines += "orvane-standin: " + line + "\n";
  EXPECT_EQ(ReadFile(root / "err"), lines);
  EXPECT_EQ(Tree(out), rows[3].tree);
}

// Each refused archive says why and leaves nothing, not even its sound first entry or the folder.
TEST_F(ZipExtractTest, RefusesBrokenHostileAndOversizedArchivesSayingWhyAndLeavesNothing) {
  const std::string text = "material";
  const uint32_t crc = ZipFile::CalcCRC32(text.data(), 8);
  const RawZipEntry good{"sub/good.ovm", text, 8, crc};
  std::vector<RawZipEntry> many;
  for (LLONG i = 0; i <= ZipFile::kMaxEntries; ++i) many.push_back({"e" + std::to_string(i), "", 0, 0});
  // As many entries as may be, and a comment full of copies of the end record.
  const std::string copies = WithEndRecordCopies(MakeRawZip({many.begin(), many.end() - 1}), 2978);
  // The second entry's local header lies at 50, its name at 80.
  const std::string twice = MakeRawZip({good, {"b.ovm", text, 8, crc}}),
                    thrice = MakeRawZip({good, {"b.ovm", text, 8, crc}, {"b.ovm", text, 8, crc}});
  // The entry "c.ovm" whose central header points at a local header of its own inside the data of
  // "a.ovm", which starts at 35.
  const std::string inner = MakeRawZip({{"c.ovm", text, 8, crc}}).substr(0, 43);
  const std::string nested = MakeRawZip(
      {{"a.ovm", inner, uint32_t(inner.size()), ZipFile::CalcCRC32(inner.data(), VLONG(inner.size()))},
       {"c.ovm", text, 8, crc}});
  const std::string inside = Patched(nested, nested.size() - 22 - 51 + 42, 35);
  const std::string far = MakeRawZip({good, {"b.ovm", "b", 300 << 20, crc}});
  const std::string disagrees = "entry \"b.ovm\": its local header disagrees with the central directory";
  const std::string pad(4 << 20, '\0');
  // A file declaring 64 MiB that 63 links copy, beside 44 MiB of zeros stored: the entries declare
  // 108 MiB, and the archive is large enough for its files and their copies by the ratio; only the
  // copies come to more than an archive may hold, refused before anything is written.
  std::vector<RawZipEntry> copiedOften{{"big.png", "b", 64u << 20, crc}};
  for (int i = 0; i < 63; ++i) copiedOften.push_back(ZipLink("copy" + std::to_string(i) + ".png", "big.png"));
  copiedOften.push_back({"zeros.bin", std::string(44 << 20, '\0'), 44u << 20, 0});
  copiedOften.back().crc = ZipFile::CalcCRC32(copiedOften.back().data.data(), 44 << 20);
  // Each archive, why it is refused, the system's reason for a failed write and what was found.
  // 10,000 entries each 63 folders deep, in folders of their own; and two such chains.
  std::vector<ZipEntry> deep;
  for (int i = 0; i < 10000; ++i) {
    std::string name = std::to_string(i) + "/";
    for (int k = 0; k < 62; ++k) name += "d/";
    deep.push_back({name + "f", ""});
  }
  const std::vector<ZipEntry> chains{deep[0], deep[1]};
  // The last repeats the first: found only by building the whole tree, which the bound forestalls.
  deep.back() = deep.front();
  // 10,000 files, and one more, in a folder that has an entry of its own.
  std::vector<ZipEntry> files{{"good.ovm", text}, {"lots/", ""}};
  for (int i = 1; i < ZipFile::kMaxEntries; ++i) files.push_back({"lots/" + std::to_string(i), ""});
  std::vector<ZipEntry> moreFiles = files;
  moreFiles.push_back({"lots/x", ""});
  // AES-encrypted, as 7-Zip writes it: method 99, and the method and strength in an extra field.
  const RawZipEntry aes{"b.ovm",
                        std::string(36, 'x'),
                        8,
                        0,
                        99,
                        1,
                        Le({{0x9901, 2}, {7, 2}, {2, 2}}) + "AE" + Le({{3, 1}, {0, 2}})};
  // Folders that come from folders' entries, with files at the top level or in folders of their own.
  std::vector<ZipEntry> listedFolders{{"a.ovm", text}, {"b.png", text}, {"c.png", text}}, mixedFolders;
  for (int i = 0; i <= ZipFile::kMaxEntries; ++i)
    listedFolders.push_back({"f" + std::to_string(i) + "/", ""});
  for (int i = 0; i < 5001; ++i) mixedFolders.push_back({"e" + std::to_string(i) + "/f", ""});
  for (int i = 0; i < 5000; ++i) mixedFolders.push_back({"f" + std::to_string(i) + "/", ""});
  // A path of 21 names of 200 bytes each: every name fits, the whole path does not.
  std::string longPath;
  for (int i = 0; i < 21; ++i) longPath += std::string(200, 'p') + (i < 20 ? "/" : "");
  // A file declaring 200 MiB, which a link copies: the copy counts as the file does.
  const std::string copied =
      MakeRawZip({good, {"big.png", "b", 200 << 20, crc}, ZipLink("copy.png", "big.png")});
  // Two textures in chains of 35 folders that share one, as `zip -r -D` writes them (no folder
  // entries), and as `zip -r` writes them: taken alike.
  std::vector<ZipEntry> bare{{"good.ovm", text}}, listed{{"good.ovm", text}, {"tex/", ""}};
  for (const char* sub : {"a", "b"}) {
    std::string name = "tex/" + std::string(sub) + "/";
    listed.push_back({name, ""});
    for (int k = 2; k < 35; ++k) listed.push_back({name += "d/", ""});
    bare.push_back({name + sub + ".png", sub});
    listed.push_back(bare.back());
  }
  const struct {
    std::string zip;
    LONG error;
    std::string system = "";
    std::string detail = "";
  } rows[] = {
      {"this is not a zip archive", ZIPERROR_CORRUPT},
      {MakeRawZip({good, {"../evil.ovm", text, 8, crc}}), ZIPERROR_UNSAFE_NAME, "", "entry \"../evil.ovm\""},
      {MakeRawZip({good, {std::string("a\0.ovm", 6), text, 8, crc}}), ZIPERROR_UNSAFE_NAME, "",
       std::string("entry \"a") + '\0' + ".ovm\""},
      // A NUL is named as the archive holds it whatever else is wrong with the entry.
      {MakeRawZip({{std::string("b\0.ovm", 6), text, 8, crc, 77}}), ZIPERROR_UNSAFE_NAME, "",
       std::string("entry \"b") + '\0' + ".ovm\""},
      {MakeZip({{"tex/red.png", text}, {"good.ovm", text}, {"tex\\red.png", text}}), ZIPERROR_TWICE, "",
       "the archive holds \"tex/red.png\" twice"},
      {MakeZip({{"good.ovm", text}, {"./good.ovm", text}}), ZIPERROR_TWICE, "",
       "the archive holds \"good.ovm\" twice"},
      {MakeZip({{"tex/", ""}, {"tex\\", ""}}), ZIPERROR_TWICE, "", "the archive holds \"tex/\" twice"},
      {MakeZip({{"./", ""}, {".\\", ""}}), ZIPERROR_TWICE, "", "the archive holds \"./\" twice"},
      {MakeRawZip({good, {"b.ovm", text, 8, crc ^ 1}}), ZIPERROR_CHECKSUM, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", text, 4, crc}}), ZIPERROR_CORRUPT, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", text, 9, crc}}), ZIPERROR_CORRUPT, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", Deflate(text), 4, crc, 8}}), ZIPERROR_CORRUPT, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", "\xff\xff\xff\xff", 8, crc, 8}}), ZIPERROR_CORRUPT, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", text, 8, crc, 0, 1}}), ZIPERROR_ENCRYPTED, "", "entry \"b.ovm\""},
      {MakeRawZip({good, aes}), ZIPERROR_ENCRYPTED, "", "entry \"b.ovm\""},
      {MakeRawZip({good, {"b.ovm", text, 8, crc, 77}}), ZIPERROR_METHOD, "",
       "entry \"b.ovm\" uses method 77"},
      {MakeRawZip({good, {"b", "", 3u << 30, 0}, {"c", "", 3u << 30, 0}}), ZIPERROR_TOO_LARGE, "",
       "its entries declare 6442450952 bytes, more than the 4294967296 an archive may hold"},
      {MakeRawZip(many), ZIPERROR_TOO_LARGE, "",
       "the archive holds 10001 files, more than the 10000 it may hold"},
      {MakeZip(moreFiles), ZIPERROR_TOO_LARGE, "",
       "the archive holds 10001 files, more than the 10000 it may hold"},
      {Patched(thrice, thrice.size() - 22 - 51 + 42, 50), ZIPERROR_TWICE, "",
       "the archive holds \"b.ovm\" twice"},
      {inside, ZIPERROR_CORRUPT, "", "entry \"a.ovm\" and entry \"c.ovm\" share their data"},
      {Patched(twice, 80, 'c', 1), ZIPERROR_CORRUPT, "", disagrees},        // local name
      {Patched(twice, 50 + 8, 8, 2), ZIPERROR_CORRUPT, "", disagrees},      // local method
      {Patched(twice, 50 + 14, crc ^ 1), ZIPERROR_CORRUPT, "", disagrees},  // local CRC-32
      {Patched(twice, 50 + 22, 9), ZIPERROR_CORRUPT, "", disagrees},        // local size
      {far, ZIPERROR_TOO_LARGE, "",
       "its entries declare 314572808 bytes, more than 100 times the archive's " +
           std::to_string(far.size())},
      {copies, ZIPERROR_CORRUPT},
      {WithEndRecordCopies(MakeRawZip({good}), 1), ZIPERROR_CORRUPT},
      {MakeZip({{"a.ovm", text}, {std::string(300, 'n'), text}}), ZIPERROR_WRITE, "File name too long",
       "entry \"" + std::string(300, 'n') + "\""},
      {MakeZip({{"a.ovm", text}, {"a.ovm/b", text}}), ZIPERROR_FILE_AND_FOLDER, "",
       "entry \"a.ovm\" and entry \"a.ovm/b\""},
      {MakeZip({{"x.ovm", text}, {"x.ovm/", ""}}), ZIPERROR_FILE_AND_FOLDER, "",
       "entry \"x.ovm\" and entry \"x.ovm/\""},
      {MakeZip(deep), ZIPERROR_TOO_MANY_FOLDERS, "",
       "10000 files would make more than the 10000 folders an archive may make"},
      {MakeZip(listedFolders), ZIPERROR_TOO_MANY_FOLDERS, "",
       "10001 folder entries would make more than the 10000 folders an archive may make"},
      {MakeZip(mixedFolders), ZIPERROR_TOO_MANY_FOLDERS, "",
       "5000 folder entries and the folders of 5001 files would make more than the 10000 folders an archive "
       "may make"},
      {MakeZip({{"a.ovm", text}, {longPath, text}}), ZIPERROR_WRITE, "File name too long",
       "entry \"" + longPath + "\""},
      {copied, ZIPERROR_TOO_LARGE, "",
       "its files and the copies of its 1 link come to 419430408 bytes, more than 100 times the archive's " +
           std::to_string(copied.size())},
      {MakeRawZip(copiedOften), ZIPERROR_TOO_LARGE, "",
       "its files and the copies of its 63 links come to 4341104640 bytes, more than the 4294967296 an "
       "archive may hold"},
      {MakeZip({{"a.ovm", text},
                {[] {
                   std::string deep;
                   for (LLONG i = 0; i < ZipFile::kMaxDepth; ++i) deep += "d/";
                   return deep + "f";
                 }(),
                 text}}),
       ZIPERROR_TOO_DEEP, "",
       [] {
         std::string deep = "entry \"";
         for (LLONG i = 0; i < ZipFile::kMaxDepth; ++i) deep += "d/";
         return deep + "f\"";
       }()},
      {MakeZip({{"a.ovm/b", text}, {"a.ovm", text}}), ZIPERROR_FILE_AND_FOLDER, "",
       "entry \"a.ovm\" and entry \"a.ovm/b\""},
      // As many bytes, but not from so small an archive: read, and found short.
      {MakeRawZip({{"pad", pad, 4 << 20, ZipFile::CalcCRC32(pad.data(), 4 << 20)},
                   {"b.ovm", "b", 300 << 20, ZipFile::CalcCRC32("b", 1)}}),
       ZIPERROR_CORRUPT, "", "entry \"b.ovm\""},
  };
  for (size_t row = 0; row < std::size(rows); ++row) {
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << rows[row].zip;
    std::string system = "-", detail;
    EXPECT_EQ(ExtractError(zip, out, &system, &detail), rows[row].error) << row;
    EXPECT_EQ(system, rows[row].system) << row;
    EXPECT_EQ(detail, rows[row].detail) << row;
    EXPECT_EQ(Tree(root), std::set<std::string>{"archive.povm"}) << row;
  }
  std::string system;
  EXPECT_EQ(ExtractError(root / "missing.povm", "/x", &system), ZIPERROR_READ);
  EXPECT_EQ(system, "No such file or directory");
  // Behind a data descriptor (flag 8) the local header need not know the CRC-32 and sizes; a
  // comment may hold the end record's signature where it describes no directory.
  const std::string zeros(1 << 20, '\0');
  std::string described =
      MakeRawZip({good, {"b.ovm", Deflate(zeros), 1 << 20, ZipFile::CalcCRC32(zeros.data(), 1 << 20), 8, 8}});
  for (size_t at : {64, 68, 72}) described = Patched(described, at, 0);
  std::string commented = MakeZip({{"c.ovm", text}});
  commented = Patched(commented, commented.size() - 2, 26, 2) + "PK\5\6" + std::string(22, '\x7f');
  // An archive stored in an entry has an end record of its own, naming offsets within it; libzip
  // would take its empty directory where a local header keeps sizes but no CRC-32 (as bsdtar writes).
  const std::string empty = MakeZip({});
  const std::string bsd =
      Patched(MakeRawZip({{"d.ovm", text, 8, crc, 0, 8},
                          {"d.zip", empty, 22, ZipFile::CalcCRC32(empty.data(), 22), 0, 8}}),
              14, 0);
  for (const std::string& sound :
       {described, MakeZip64(text + text), commented, MakeZip({{"n.zip", empty}, {"n.ovm", text}}),
        MakeZip({{"e.ovm", text}, {"e.zip", empty}}), bsd,
        // Without entries of their own, the folders of one path are more than the entries.
        MakeZip({{"good.ovm", text}, {"maps/wood/albedo/red.png", text}}),
        // Folders each on the way of one file, as deep as may be, listed or not.
        MakeZip(chains), MakeZip(bare), MakeZip(listed), MakeZip({{"tex\\red.png", text}}),
        // As many files as may be, with their folder's entry.
        MakeZip(files)}) {
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << sound;
    EXPECT_EQ(ExtractError(zip, out), ZIPERROR_NONE);
  }
  EXPECT_EQ(ReadFile(out / "sub/good.ovm"), text);
  EXPECT_EQ(ReadFile(out / "b.ovm"), zeros);
  EXPECT_EQ(ReadFile(out / "z.ovm"), text + text);
  EXPECT_EQ(ReadFile(out / "c.ovm"), text);
  EXPECT_EQ(ReadFile(out / "n.ovm") + ReadFile(out / "e.zip") + ReadFile(out / "d.zip"),
            text + empty + empty);
  EXPECT_EQ(ReadFile(out / "maps/wood/albedo/red.png"), text);
  EXPECT_EQ(ReadFile(out / "tex/red.png"), text);  // a backslash separates folders
  EXPECT_FALSE(fs::exists(out / "tex\\red.png"));
  EXPECT_EQ(ReadFile(out / bare[1].first) + ReadFile(out / bare[2].first), "ab");
  EXPECT_TRUE(fs::is_regular_file(out / "lots" / std::to_string(ZipFile::kMaxEntries - 1)));

  ZipFile* z = ZipFile::Alloc();
  EXPECT_FALSE(z->ExtractToDirectory(Filename(), Filename(String(out.string()))));
  EXPECT_FALSE(z->ExtractToDirectory(Filename(String(zip.string())), Filename()));
  ZipFile::Free(z);
}

// A FIFO without a writer is refused at once, never waited on. In a folder anyone may write to,
// another user's link (to root's 0600 archive) is not followed; another user's archive is read.
TEST_F(ZipExtractTest, ArchivesThatCannotBeReadSayWhy) {
  ASSERT_TRUE(WriteZip(zip.string(), {{"sub/mat.ovm", "<material/>"}}));
  ASSERT_EQ(::mkfifo((root / "fifo.povm").c_str(), 0600), 0);
  std::string text;
  EXPECT_EQ(ExtractError(root / "fifo.povm", out, &text), ZIPERROR_READ);
  EXPECT_EQ(text, "not a regular file");
  // The renderer stand-in says the same, and names what it found.
  TempDir renderer;
  const std::string standin = renderer / "OrvaneConsole";
  fs::copy_file(CORVANE_RENDERER_DIR "/Orvane.app/Contents/MacOS/OrvaneConsole", standin);
  std::ofstream(root / "method.povm", std::ios::binary)
      << MakeRawZip({{"b.ovm", "material", 8, ZipFile::CalcCRC32("material", 8), 77}});
  ASSERT_TRUE(WriteZip((root / "both.povm").string(), {{"a.ovm/b", "x"}, {"a.ovm", "y"}}));
  // A name with control characters is shown with them escaped: it cannot set the terminal's title.
  const std::string titled = "t\x1b]0;t\x07.povm";
  fs::copy_file(root / "method.povm", root / titled);
  // An entry whose path in "un", from `root`, is `size` bytes long, in names of 200 bytes at most.
  const auto longEntry = [&](size_t size) {
    std::string name;
    size_t left = size - (root / "un/").string().size();
    for (; left > 201; left -= 201) name += std::string(200, 'p') + "/";
    return name + std::string(left, 'q');
  };
  const std::string tooLong = longEntry(PATH_MAX);
  ASSERT_TRUE(WriteZip((root / "long.povm").string(), {{"a.ovm", "y"}, {tooLong, "x"}}));
  const struct {
    std::string name, why, into;
  } said[] = {
      {"fifo.povm", "cannot be read: not a regular file", out.string()},
      {"method.povm", "unknown method: entry \"b.ovm\" uses method 77", out.string()},
      {"both.povm", "a name is both a file and a folder: entry \"a.ovm\" and entry \"a.ovm/b\"",
       out.string()},
      {titled, "unknown method: entry \"b.ovm\" uses method 77", out.string()},
      // A folder given from the working directory: the path measured is the whole one.
      {"long.povm", "cannot write: entry \"" + tooLong + "\": File name too long", "un"},
      {"long.povm", "cannot write: entry \"" + tooLong + "\": File name too long", "./un/."},
  };
  for (const auto& [name, why, into] : said) {
    std::string ignored;
    EXPECT_EQ(RunCommand("cd " + root.string() + " && " + standin + " --unpack '" + (root / name).string() +
                             "' " + into + " 2>" + (root / "err").string(),
                         &ignored),
              1)
        << name;
    const std::string shown = name == titled ? "t\\033]0;t\\007.povm" : name;
    EXPECT_EQ(ReadFile(root / "err"), "orvane-standin: cannot unpack " + (root / shown).string() + " into " +
                                          into + ": " + why + "\n");
    EXPECT_FALSE(fs::exists(root / into)) << name;
  }
  // One byte shorter, the whole path fits.
  ASSERT_TRUE(WriteZip((root / "long.povm").string(), {{"a.ovm", "y"}, {longEntry(PATH_MAX - 1), "x"}}));
  std::string unpacked;
  EXPECT_EQ(RunCommand("cd " + root.string() + " && " + standin + " --unpack long.povm ./un/.", &unpacked), 0)
      << unpacked;
  EXPECT_EQ(ReadFile(root / "un" / longEntry(PATH_MAX - 1)), "x");
  fs::remove_all(root / "un");
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's files needs root";
  const fs::path shared = root / "shared";
  ASSERT_EQ(::mkdir(shared.c_str(), 01777) | ::chmod(shared.c_str(), 01777) | ::chmod(zip.c_str(), 0600), 0);
  fs::copy_file(zip, shared / "theirs.povm");
  ASSERT_EQ(::symlink(zip.c_str(), (shared / "link.povm").c_str()) |
                ::lchown((shared / "link.povm").c_str(), 65534, 65534) |
                ::lchown((shared / "theirs.povm").c_str(), 65534, 65534),
            0);
  EXPECT_EQ(ExtractError(shared / "link.povm", out, &text), ZIPERROR_READ);
  EXPECT_EQ(text, "the link " + (shared / "link.povm").string() + " belongs to another user (nobody)");
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(ExtractError(shared / "theirs.povm", out, &text), ZIPERROR_NONE) << text;
  EXPECT_TRUE(fs::exists(out / "sub/mat.ovm"));
  // Nor is anything unpacked through another user's link at the target's name.
  ASSERT_EQ(
      ::symlink(out.c_str(), (shared / "out").c_str()) | ::lchown((shared / "out").c_str(), 65534, 65534), 0);
  EXPECT_EQ(ExtractError(zip, shared / "out", &text), ZIPERROR_WRITE);
  EXPECT_EQ(text, "the link " + (shared / "out").string() + " belongs to another user (nobody)");
}

TEST_F(ZipExtractTest, ARefusedArchiveKeepsWhatTheFolderHeldBefore) {
  fs::create_directories(out / "sub");
  std::ofstream(out / "mine.txt") << "mine";
  std::ofstream(zip, std::ios::binary) << MakeRawZip({{"sub/new.ovm", "n", 1, ZipFile::CalcCRC32("n", 1)},
                                                      {"mine.txt", "a", 1, ZipFile::CalcCRC32("a", 1)},
                                                      {"new/a.ovm", "a", 1, ZipFile::CalcCRC32("a", 1)},
                                                      {"new/b.ovm", "b", 1, 0}});
  EXPECT_FALSE(Extract(zip, out));
  EXPECT_EQ(Tree(out), (std::set<std::string>{"mine.txt", "sub"}));
  EXPECT_EQ(ReadFile(out / "mine.txt"), "mine");
  // A file whose name a later entry makes a folder of is found before any file takes its place.
  ASSERT_TRUE(WriteZip(zip.string(), {{"mine.txt", "new"}, {"d", "x"}, {"d/e", "y"}}));
  EXPECT_FALSE(Extract(zip, out));
  EXPECT_EQ(Tree(out), (std::set<std::string>{"mine.txt", "sub"}));
  EXPECT_EQ(ReadFile(out / "mine.txt"), "mine");
}

// In a shared folder another user's folder is walked through, but nothing is made or written in it
// or below it, and a refusal found as the files take their places changes nothing.
TEST_F(ZipExtractTest, NothingIsWrittenInAnotherUsersFolderOfASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's folder needs root";
  const fs::path theirs = out / "S/evil";
  const struct {
    std::string what;
    std::vector<ZipEntry> entries;
    std::string late;  // the entry before which the folder becomes the other user's (else it is at once)
    std::string detail;
    bool link = false;  // theirs is a link to a folder, not a folder
  } rows[] = {
      {"a new folder in theirs",
       {{"S/", ""}, {"S/evil/", ""}, {"S/evil/new/", ""}, {"S/evil/new/file.txt", "x"}},
       "",
       "entry \"S/evil/new/\""},
      {"a file in theirs", {{"top.txt", "new"}, {"S/evil/x.txt", "x"}}, "", "entry \"S/evil/x.txt\""},
      {"theirs by the time the files take their places: the root's file is not replaced either",
       {{"top.txt", "new"}, {"S/", ""}, {"S/evil/", ""}, {"S/evil/x.txt", "x"}, {"last.txt", "l"}},
       "last.txt",
       "entry \"S/evil/x.txt\""},
      {"a link of theirs at an entry's folder", {{"S/evil/x.txt", "x"}}, "", "entry \"S/evil/x.txt\"", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(out);
    fs::create_directories(row.link ? root / "elsewhere" : theirs);
    fs::create_directories(out / "S");
    if (row.link) {
      ASSERT_EQ(::symlink((root / "elsewhere").c_str(), theirs.c_str()), 0);
    }
    std::ofstream(out / "top.txt") << "orig";
    ASSERT_EQ(::chmod((out / "S").c_str(), 01777) | ::chmod(row.link ? out.c_str() : theirs.c_str(), 0755),
              0);
    if (row.late.empty()) {
      ASSERT_EQ(::lchown(theirs.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(WriteZip(zip.string(), row.entries));
    struct Late {
      std::string entry;
      fs::path folder;
    } late{row.late, theirs};
    const auto callback = [](const Filename& entry, const Filename&, void* data) -> Bool {
      const Late* late = static_cast<const Late*>(data);
      if (host::ToUtf8(entry.GetString()) == late->entry)
        return ::chown(late->folder.c_str(), 65534, 65534) == 0;
      return true;
    };
    ZipFile* z = ZipFile::Alloc();
    EXPECT_FALSE(z->ExtractToDirectory(Filename(String(zip.string())), Filename(String(out.string())),
                                       ZIP_EXTRACT_CREATE_SUBDIR, callback, &late));
    EXPECT_EQ(z->GetError(), ZIPERROR_WRITE);
    EXPECT_EQ(z->GetSystemErrorText(), (row.link ? "the link " : "the folder ") + theirs.string() +
                                           " belongs to another user (nobody)");
    EXPECT_EQ(z->GetErrorDetail(), row.detail);
    ZipFile::Free(z);
    EXPECT_EQ(Tree(out), (std::set<std::string>{"S", "S/evil", "top.txt"}));
    EXPECT_EQ(ReadFile(out / "top.txt"), "orig");
    EXPECT_TRUE(Tree(root / "elsewhere").empty());
  }
}

TEST_F(ZipExtractTest, TheCallbackSeesEveryEntryAndCanStop) {
  ASSERT_TRUE(WriteZip(zip.string(), {{"a.txt", "a"}, {"b.txt", "b"}}));
  struct Seen {
    std::vector<std::string> entries, targets;
    size_t stopAt;
    fs::path root;
    std::vector<bool> rootThere;  // at each entry, whether the folder unpacked into has its name
  } seen{{}, {}, 99, out, {}};
  auto callback = [](const Filename& entry, const Filename& target, void* data) -> Bool {
    Seen* s = static_cast<Seen*>(data);
    s->entries.push_back(host::ToUtf8(entry.GetString()));
    s->targets.push_back(host::ToUtf8(target.GetString()));
    s->rootThere.push_back(fs::exists(s->root));
    return s->entries.size() < s->stopAt;
  };
  ZipFile* z = ZipFile::Alloc();
  Filename zipName(String(zip.string())), outName(String(out.string()));
  EXPECT_TRUE(z->ExtractToDirectory(zipName, outName, ZIP_EXTRACT_CREATE_SUBDIR, callback, &seen));
  EXPECT_EQ(seen.entries, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(seen.targets, (std::vector<std::string>{(out / "a.txt").string(), (out / "b.txt").string()}));
  // A folder it makes gets its name only once it is complete.
  EXPECT_EQ(seen.rootThere, (std::vector<bool>{false, false}));
  EXPECT_EQ(Tree(out), (std::set<std::string>{"a.txt", "b.txt"}));

  fs::remove_all(out);
  seen = Seen{{}, {}, 1, out, {}};
  EXPECT_FALSE(z->ExtractToDirectory(zipName, outName, ZIP_EXTRACT_CREATE_SUBDIR, callback, &seen));
  EXPECT_EQ(z->GetError(), ZIPERROR_STOPPED);
  EXPECT_EQ(Tree(root), std::set<std::string>{"archive.povm"});
  ZipFile::Free(z);
}

// The renderer stand-in, interrupted while it unpacks, removes its temporaries and ends by the signal.
TEST_F(ZipExtractTest, TheStandInInterruptedWhileUnpackingEndsByTheSignalAndLeavesNoTemporary) {
  TempDir renderer;
  const std::string standin = renderer / "OrvaneConsole";
  fs::copy_file(CORVANE_RENDERER_DIR "/Orvane.app/Contents/MacOS/OrvaneConsole", standin);
  std::vector<ZipEntry> entries;
  for (int i = 0; i < 5000; ++i) entries.emplace_back("t" + std::to_string(i) + ".png", "x");
  ASSERT_TRUE(WriteZip(zip.string(), entries));
  // The stand-in unpacking into `target`, with the signals' default actions whatever this test was
  // started with.
  const auto unpack = [&](const fs::path& target) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      sigset_t none;
      ::sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      for (int s : {SIGTERM, SIGHUP, SIGINT}) ::signal(s, SIG_DFL);
      ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
      ::execl(standin.c_str(), standin.c_str(), "--unpack", zip.c_str(), target.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  };
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(sig));
    fs::remove_all(out);
    fs::create_directory(out);
    const pid_t pid = unpack(out);
    ASSERT_GT(pid, 0);
    const bool unpacking = WaitFor([&] { return !Tree(out).empty(); });
    if (unpacking) {
      EXPECT_EQ(::kill(pid, sig), 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(unpacking);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(Tree(out), std::set<std::string>{});
  }
  // Killed while it unpacks into a folder that holds the archive's folders already, it leaves its
  // staging folder and temporaries there; the next unpacking into that folder removes them.
  fs::remove_all(out);
  fs::create_directories(out / "sub");
  entries.insert(entries.begin(), {"sub/s.png", "s"});
  ASSERT_TRUE(WriteZip(zip.string(), entries));
  const pid_t pid = unpack(out);
  ASSERT_GT(pid, 0);
  const auto left = [&] {
    std::set<std::string> temporaries;
    for (const std::string& path : Tree(out))
      if (path.find(".tmp-") != std::string::npos) temporaries.insert(path.substr(0, path.find(".tmp-") + 5));
    return temporaries;
  };
  const bool unpacking = WaitFor([&] { return left().size() >= 2; });
  ::kill(pid, SIGKILL);
  ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
  ASSERT_TRUE(unpacking);
  EXPECT_EQ(left().count(".unpacking.tmp-"), 1u);
  std::string said;
  EXPECT_EQ(RunCommand(standin + " --unpack " + zip.string() + " " + out.string(), &said), 0) << said;
  EXPECT_EQ(left(), std::set<std::string>{});
  EXPECT_EQ(Tree(out).size(), 5002u);

  // Killed while it unpacks into a folder it makes, it leaves that folder under a temporary's name,
  // never a part of the archive under the folder's name; the next unpacking there removes it.
  const fs::path made = out / "new";
  const pid_t killed = unpack(made);
  ASSERT_GT(killed, 0);
  const bool filling = WaitFor([&] { return Tree(out).size() >= 5002u + 100u; });
  ::kill(killed, SIGKILL);
  ASSERT_EQ(::waitpid(killed, nullptr, 0), killed);
  ASSERT_TRUE(filling);
  EXPECT_FALSE(fs::exists(made));
  EXPECT_EQ(left(), std::set<std::string>{".new.tmp-"});
  EXPECT_EQ(RunCommand(standin + " --unpack " + zip.string() + " " + made.string(), &said), 0) << said;
  EXPECT_EQ(left(), std::set<std::string>{});
  EXPECT_EQ(Tree(made).size(), 5002u);
}

// --- Folder listings ------------------------------------------------------------

struct Listed {
  std::string name;
  bool dir;
  LLONG size;
  bool operator==(const Listed& o) const { return name == o.name && dir == o.dir && size == o.size; }
};

std::ostream& operator<<(std::ostream& os, const Listed& l) {
  return os << l.name << (l.dir ? "/" : "") << " " << l.size;
}

std::vector<Listed> List(const std::string& dir) {
  BrowseFiles* b = BrowseFiles::Alloc();
  b->Init(Filename(String(dir)), 0);
  std::vector<Listed> out;
  while (b->GetNext()) out.push_back({host::ToUtf8(b->GetFilename().GetString()), b->IsDir(), b->GetSize()});
  EXPECT_FALSE(b->GetNext());
  EXPECT_FALSE(b->GetFilename().Content());
  BrowseFiles::Free(b);
  EXPECT_EQ(b, nullptr);
  return out;
}

TEST(BrowseFilesTest, ListsEntriesSortedByName) {
  TempDir tmp;
  std::ofstream(tmp / "tex.jpg") << "12345";
  std::ofstream(tmp / "mat.ovm") << "1";
  std::ofstream(tmp / "B.txt") << "";
  fs::create_directory(tmp / "a_folder");
  EXPECT_EQ(List(tmp.path()),
            (std::vector<Listed>{
                {"B.txt", false, 0}, {"a_folder", true, 0}, {"mat.ovm", false, 1}, {"tex.jpg", false, 5}}));
}

TEST(BrowseFilesTest, AMissingOrEmptyFolderHasNoEntries) {
  TempDir tmp;
  EXPECT_TRUE(List(tmp.path()).empty());
  EXPECT_TRUE(List(tmp / "missing").empty());
  EXPECT_TRUE(List("").empty());
}

// --- Pseudo-random numbers ------------------------------------------------------

TEST(RandomTest, TheSameSeedGivesTheSameSequence) {
  Random a, b;
  a.Init(3123123);
  b.Init(3123123);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Get01(), b.Get01());
  a.Init(1);
  b.Init(2);
  EXPECT_NE(a.Get01(), b.Get01());
}

TEST(RandomTest, NumbersLieInTheirRange) {
  Random r;
  r.Init(0xFFFFFFFFu);
  double sum = 0;
  for (int i = 0; i < 10000; ++i) {
    Real x = r.Get01();
    ASSERT_GE(x, 0.0);
    ASSERT_LT(x, 1.0);
    sum += x;
    Real y = r.Get11();
    ASSERT_GE(y, -1.0);
    ASSERT_LT(y, 1.0);
  }
  EXPECT_NEAR(sum / 10000, 0.5, 0.02);
}

}  // namespace
