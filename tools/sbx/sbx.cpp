// sbx: the media archive tool for game developers.
//
//   sbx pack ARCHIVE FILE|FOLDER...   pack files (folders: every file below them)
//   sbx list ARCHIVE                  names, sizes and ratios
//   sbx extract ARCHIVE [NAME...]     unpack into the current folder
//   sbx append PROGRAM ARCHIVE        attach an archive to a program file
//
// Entries are found by file name alone, so packing keeps only the name of
// each file; a second file of the same name (ignoring case) is left out.
// Extraction never writes outside the current folder: an entry whose name
// holds a folder, "..", ":" or a control character is skipped, and files are
// created anew without following links.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/files/archive.h"
#include "runtime/platform/platform.h"
#include "runtime/platform/codepage.h"

namespace fs = std::filesystem;
using namespace mxt;

namespace {

int usage() {
  std::fputs(
      "usage: sbx pack [--fast] ARCHIVE FILE|FOLDER...\n"
      "       sbx list ARCHIVE\n"
      "       sbx extract ARCHIVE [NAME...]\n"
      "       sbx append PROGRAM ARCHIVE\n",
      stderr);
  return 2;
}

// The runtime's file functions take code page 1252; the shell gives UTF-8.
RtString runtime_path(const std::string& utf8) { return RtString(utf8_to_cp1252(utf8).c_str()); }

bool read_whole(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Written beside the target and renamed over it, so a failed run leaves the
// old file whole.
bool write_whole(const fs::path& path, const std::string& bytes) {
  const fs::path tmp = path.string() + ".sbx-tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) fs::remove(tmp, ec);
  return !ec;
}

int open_archive(ArchiveReader& reader, const std::string& path) {
  switch (reader.open(runtime_path(path))) {
    case ArchiveReader::Status::ok:
      return 0;
    case ArchiveReader::Status::cannot_open:
      std::fprintf(stderr, "sbx: cannot open %s\n", path.c_str());
      return 1;
    case ArchiveReader::Status::bad_trailer:
      std::fprintf(stderr, "sbx: %s holds no archive (no \"sbX\" trailer)\n", path.c_str());
      return 1;
  }
  return 1;
}

// ---------------------------------------------------------------------------

int pack(std::vector<std::string> args) {
  ArchiveBuilder::Level level = ArchiveBuilder::Level::best;
  if (!args.empty() && args[0] == "--fast") {
    level = ArchiveBuilder::Level::fast;
    args.erase(args.begin());
  }
  if (args.size() < 2) return usage();
  const std::string archive = args[0];
  std::vector<fs::path> files;
  for (size_t i = 1; i < args.size(); ++i) {
    std::error_code ec;
    if (fs::is_directory(args[i], ec)) {
      std::vector<fs::path> found;
      for (const auto& e : fs::recursive_directory_iterator(args[i], ec))
        if (e.is_regular_file()) found.push_back(e.path());
      std::sort(found.begin(), found.end());
      files.insert(files.end(), found.begin(), found.end());
    } else {
      files.emplace_back(args[i]);
    }
  }
  ArchiveBuilder builder(level);
  std::vector<std::string> names;
  int problems = 0;
  for (const fs::path& file : files) {
    std::error_code same_ec;
    if (fs::exists(archive, same_ec) && fs::equivalent(file, archive, same_ec)) continue;  // an older copy of the output
    const std::string name = utf8_to_cp1252(file.filename().string());
    if (!is_safe_entry_name(name) || name.find('?') != std::string::npos) {
      std::fprintf(stderr, "sbx: left out %s: the name cannot be an entry\n", file.c_str());
      ++problems;
      continue;
    }
    const bool taken = std::any_of(names.begin(), names.end(),
                                   [&](const std::string& n) { return same_name_ignoring_case(n, name); });
    if (taken) {
      std::fprintf(stderr, "sbx: left out %s: an entry of that name is packed already\n", file.c_str());
      ++problems;
      continue;
    }
    std::string bytes;
    if (!read_whole(file, bytes)) {
      std::fprintf(stderr, "sbx: cannot read %s\n", file.c_str());
      return 1;
    }
    if (!builder.add(name, bytes.data(), static_cast<int64_t>(bytes.size()))) {
      std::fprintf(stderr, "sbx: %s is too large for an archive\n", file.c_str());
      return 1;
    }
    names.push_back(name);
  }
  if (!write_whole(archive, builder.finish())) {
    std::fprintf(stderr, "sbx: cannot write %s\n", archive.c_str());
    return 1;
  }
  std::printf("%zu entries packed into %s\n", builder.count(), archive.c_str());
  return problems ? 1 : 0;
}

int list(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage();
  ArchiveReader reader;
  if (const int rc = open_archive(reader, args[0])) return rc;
  int64_t total_packed = 0, total_unpacked = 0;
  int broken = 0;
  std::printf("%12s %12s %7s  %s\n", "size", "stored", "ratio", "name");
  for (const ArchiveEntry& e : reader.entries()) {
    int64_t packed = 0, unpacked = 0;
    const std::string shown = cp1252_to_utf8(e.name);
    if (reader.stored_sizes(e, packed, unpacked) != ArchiveReader::Unpack::ok) {
      std::printf("%12s %12s %7s  %s\n", "?", "?", "broken", shown.c_str());
      ++broken;
      continue;
    }
    const double ratio = unpacked > 0 ? 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked) : 100.0;
    std::printf("%12lld %12lld %6.1f%%  %s\n", static_cast<long long>(unpacked), static_cast<long long>(packed),
                ratio, shown.c_str());
    total_packed += packed;
    total_unpacked += unpacked;
  }
  std::printf("%12lld %12lld          total\n", static_cast<long long>(total_unpacked),
              static_cast<long long>(total_packed));
  return broken ? 1 : 0;
}

// The name is known safe: no folder part, no "..". Whatever stands under that
// name in the folder (a file, a link) is replaced, never written through.
bool write_entry(const std::string& name, const uint8_t* data, int64_t size) {
  if (platform::path_kind(name) == platform::PathKind::directory) return false;
  platform::remove_file(name);
  platform::File* f = platform::open_file(name, platform::FileMode::create_new);
  if (!f) return false;
  const bool ok = platform::write_file(f, data, size) == size;
  return platform::close_file(f) && ok;
}

int extract(const std::vector<std::string>& args) {
  if (args.empty()) return usage();
  ArchiveReader reader;
  if (const int rc = open_archive(reader, args[0])) return rc;
  std::vector<std::string> wanted;
  for (size_t i = 1; i < args.size(); ++i) wanted.push_back(utf8_to_cp1252(args[i]));
  std::vector<bool> seen(wanted.size(), false);
  int problems = 0;
  for (const ArchiveEntry& e : reader.entries()) {
    const std::string shown = cp1252_to_utf8(e.name);
    bool pick = wanted.empty();
    for (size_t i = 0; i < wanted.size(); ++i) {
      if (!seen[i] && same_name_ignoring_case(wanted[i], e.name)) {
        seen[i] = true;
        pick = true;
      }
    }
    if (!pick) continue;
    if (!is_safe_entry_name(e.name)) {
      std::fprintf(stderr, "sbx: skipped an entry whose name would leave the folder: %s\n", shown.c_str());
      ++problems;
      continue;
    }
    std::unique_ptr<uint8_t[]> image;
    int64_t size = 0;
    if (reader.unpack(e, image, size) != ArchiveReader::Unpack::ok) {
      std::fprintf(stderr, "sbx: %s is damaged\n", shown.c_str());
      ++problems;
      continue;
    }
    if (!write_entry(e.name, image.get(), size)) {
      std::fprintf(stderr, "sbx: cannot write %s\n", shown.c_str());
      ++problems;
      continue;
    }
    std::printf("%s\n", shown.c_str());
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (!seen[i]) {
      std::fprintf(stderr, "sbx: no entry %s\n", args[i + 1].c_str());
      ++problems;
    }
  }
  return problems ? 1 : 0;
}

// Only an archive whose every offset counts from its end still works once
// something stands in front of it; sbx pack writes them so.
int append(const std::vector<std::string>& args) {
  if (args.size() != 2) return usage();
  std::string archive;
  if (!read_whole(args[1], archive)) {
    std::fprintf(stderr, "sbx: cannot read %s\n", args[1].c_str());
    return 1;
  }
  ArchiveReader reader;
  if (const int rc = open_archive(reader, args[1])) return rc;
  const std::vector<ArchiveEntry> entries = reader.entries();
  const bool movable = reader.directory_offset() < 0 && std::all_of(entries.begin(), entries.end(),
                                                         [](const ArchiveEntry& e) { return e.data_offset < 0; });
  if (!movable) {
    std::fprintf(stderr, "sbx: %s uses offsets from its start; repack it with sbx pack\n", args[1].c_str());
    return 1;
  }
  std::ofstream out(args[0], std::ios::binary | std::ios::app);
  if (!out || !out.write(archive.data(), static_cast<std::streamsize>(archive.size())) || !out.flush()) {
    std::fprintf(stderr, "sbx: cannot append to %s\n", args[0].c_str());
    return 1;
  }
  std::printf("%zu entries attached to %s\n", entries.size(), args[0].c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "pack") return pack(args);
  if (command == "list") return list(args);
  if (command == "extract") return extract(args);
  if (command == "append") return append(args);
  return usage();
}
