#include "TagTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace tagtest {

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "melotag-tags-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code error;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(FPath, error);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

unsigned Permissions(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

static std::string BigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Frame(const std::string& id, const std::string& data, uint16_t flags) {
  return id + BigEndian(static_cast<uint32_t>(data.size())) + static_cast<char>(flags >> 8) +
         static_cast<char>(flags & 0xFF) + data;
}

std::string SyncSafe(uint32_t size) {
  return {static_cast<char>((size >> 21) & 0x7F), static_cast<char>((size >> 14) & 0x7F),
          static_cast<char>((size >> 7) & 0x7F), static_cast<char>(size & 0x7F)};
}

std::string Tag(const std::string& body, uint8_t version) {
  return std::string("ID3") + static_cast<char>(version) + std::string(2, '\0') +
         SyncSafe(static_cast<uint32_t>(body.size())) + body;
}

std::string CompressedFrame(const std::string& id, const std::string& content, size_t zeros) {
  const size_t size = content.size() + zeros;
  std::string data = {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
  z_stream stream{};
  deflateInit(&stream, Z_BEST_COMPRESSION);
  static const std::string kZeros(1 << 20, '\0');
  char out[1 << 16];
  const auto deflateAll = [&](const char* in, size_t count, int flush) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    stream.avail_in = static_cast<uInt>(count);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(out);
      stream.avail_out = sizeof out;
      deflate(&stream, flush);
      data.append(out, sizeof out - stream.avail_out);
    } while (stream.avail_in > 0 || (flush == Z_FINISH && stream.avail_out == 0));
  };
  deflateAll(content.data(), content.size(), Z_NO_FLUSH);
  for (size_t left = zeros; left > 0;) {
    const size_t count = std::min(left, kZeros.size());
    deflateAll(kZeros.data(), count, Z_NO_FLUSH);
    left -= count;
  }
  deflateAll(nullptr, 0, Z_FINISH);
  deflateEnd(&stream);
  return Frame(id, data, 0x0080);
}

std::string Trailer(const std::string& title, const std::string& comment, uint8_t byte125,
                    uint8_t byte126, uint8_t genre) {
  std::string trailer(128, '\0');
  trailer.replace(0, 3, "TAG");
  trailer.replace(3, title.size(), title);
  trailer.replace(97, comment.size(), comment);
  trailer[125] = static_cast<char>(byte125);
  trailer[126] = static_cast<char>(byte126);
  trailer[127] = static_cast<char>(genre);
  return trailer;
}

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string Damaged(std::string bytes, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 6);
  for (int e = 0; e < edits; ++e) {
    if (bytes.empty()) bytes = "I";
    const size_t at = random() % bytes.size();
    switch (random() % 4) {
      case 0:
        bytes[at] = static_cast<char>(random());
        break;
      case 1:
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
        break;
      case 2:
        bytes.erase(at, random() % 8);
        break;
      default:
        bytes.insert(at, std::string(random() % 4, static_cast<char>(random())));
    }
  }
  return bytes.empty() ? std::string("I") : bytes;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string Mutagen(const std::string& args) {
  int status = -1;
  std::string out =
      RunCommand("/usr/bin/python3 " + Quote(MUTAGEN_PEER) + " " + args + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

TValues MutagenRead(const std::string& path, bool trailer) {
  TValues values;
  std::string out = Mutagen((trailer ? "readv1 " : "read ") + Quote(path));
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(at, end - at);
    at = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string bytes;
    for (size_t i = eq + 1; i + 1 < line.size(); i += 2) {
      bytes += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    }
    values[line.substr(0, eq)] = bytes;
  }
  return values;
}

std::string AudioMd5(const std::string& path) {
  return Mutagen("md5 " + Quote(path));
}

}  // namespace tagtest
