// Fixtures for the tag suites: a temporary folder, MPEG audio, raw tags and file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "MpegAudio.h"

namespace tagtest {

// A fresh folder that is removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Path(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Root() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
unsigned Permissions(const std::string& path);

// A version 2.3 frame: ID, big-endian size of data, two zero flag bytes, data.
std::string Frame(const std::string& id, const std::string& data, uint16_t flags = 0);
// A declared size as four 7-bit bytes.
std::string SyncSafe(uint32_t size);
// An ID3v2 header of the given major version declaring body.size(), followed by body.
std::string Tag(const std::string& body, uint8_t version = 3);
// A version 2.3 frame compressed by zlib (flag 0x0080): the size its content inflates to, then
// the stream. The content is `content` and `zeros` zero bytes after it, which take about a
// thousandth of their count in the frame: a frame to try the bounds of inflation with.
std::string CompressedFrame(const std::string& id, const std::string& content, size_t zeros = 0);

// A 128-byte ID3v1 trailer with the given fields, zero padded.
std::string Trailer(const std::string& title, const std::string& comment, uint8_t byte125,
                    uint8_t byte126, uint8_t genre);

// Runs a shell command; returns its standard output, sets status to its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
std::string Quote(const std::string& text);
std::string Hex(const std::string& bytes);

// The bytes with one to six random changes: a byte set or a bit flipped, bytes cut out or put
// in. Never empty.
std::string Damaged(std::string bytes, std::mt19937& random);

// The mutagen helper (mutagen_peer.py) under /usr/bin/python3; a failed run fails the test.
std::string Mutagen(const std::string& args);
// What mutagen reads of the file: "version", "size", "title", "artist", "album", "track",
// "year", "genre", "comment", each as the bytes of the value. `trailer`: the ID3v1 trailer alone,
// whether or not the file starts with an ID3v2 tag.
using TValues = std::map<std::string, std::string>;
TValues MutagenRead(const std::string& path, bool trailer = false);
// The MD5 of the audio: the bytes between an ID3v2 tag and an ID3v1 trailer.
std::string AudioMd5(const std::string& path);

}  // namespace tagtest
