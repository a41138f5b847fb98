#include "app/command_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string WriteTemporaryFile(const std::string& bytes) {
  char path[] = "/tmp/larkwire-command-XXXXXX";
  const int descriptor = mkstemp(path);
  EXPECT_GE(descriptor, 0);
  close(descriptor);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadBack(const std::string& bytes) {
  const std::string path = WriteTemporaryFile(bytes);
  std::string text = "left over";
  EXPECT_EQ(ReadCommandFile(path.c_str(), text), CommandFileRead::kRead);
  std::remove(path.c_str());
  return text;
}

}  // namespace

TEST(ReadCommandFile, ReadsTheWholeTextChunkByChunk) {
  const std::string long_line = "{\"type\":\"" + std::string(3000, 'x') + "\"}";
  const struct {
    std::string file;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"{}\n", "{}\n"},
      {"{\n}", "{\n}"},
      {"\r\n", "\r\n"},
      {long_line, long_line},
      {long_line + "\n" + long_line + "\n", long_line + "\n" + long_line + "\n"},
      // A zero byte drops the rest of its line, and reading goes on.
      {std::string("ab\0cd\nef", 8), "abef"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadBack(c.file), c.expected);
  }
}

TEST(ReadCommandFile, AZeroByteCutsOnlyItsOwn1023ByteChunk) {
  // The first chunk holds 1023 bytes, the zero byte is the 11th of them.
  std::string file(2000, 'a');
  file[10] = '\0';
  EXPECT_EQ(ReadBack(file), std::string(10, 'a') + std::string(2000 - 1023, 'a'));
}

TEST(ReadCommandFile, MissingFilesAndDirectoriesDoNotOpenEndlessFilesStopAtTheLimit) {
  const struct {
    const char* path;
    CommandFileRead expected;
  } cases[] = {
      {"/nonexistent/larkwire/command.json", CommandFileRead::kDidNotOpen},
      {"/tmp", CommandFileRead::kDidNotOpen},
      {"", CommandFileRead::kDidNotOpen},
      {"/dev/zero", CommandFileRead::kTooLarge},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_EQ(ReadCommandFile(c.path, text), c.expected) << c.path;
  }
}
