#include "archive/archive_test_support.h"

#include <openssl/sha.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "archive/crc.h"

extern char** environ;

namespace talvor::testing {

namespace {

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::string Level0Entry(const std::string& method, const std::string& name, const std::string& data,
                        std::uint32_t original_size, std::uint16_t crc, std::uint32_t dos_time,
                        std::uint8_t attributes) {
  std::string h;
  h.push_back(static_cast<char>(name.size() + 22));
  h.push_back(0);
  h += method;
  Put32(h, static_cast<std::uint32_t>(data.size()));
  Put32(h, original_size);
  Put32(h, dos_time);
  h.push_back(static_cast<char>(attributes));
  h.push_back(0);
  h.push_back(static_cast<char>(name.size()));
  h += name;
  Put16(h, crc);
  unsigned sum = 0;
  for (std::size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
  h[1] = static_cast<char>(sum & 0xFF);
  return h + data;
}

std::string StoredEntry(const std::string& name, const std::string& data) {
  const auto crc = Crc16(0, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  return Level0Entry("-lh0-", name, data, static_cast<std::uint32_t>(data.size()), crc);
}

std::string Sha256Hex(const std::string& data) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
  std::string hex;
  char byte[3];
  for (const unsigned char b : digest) {
    std::snprintf(byte, sizeof byte, "%02x", b);
    hex += byte;
  }
  return hex;
}

std::optional<std::vector<std::vector<std::string>>> CorpusRows(const std::string& corpus,
                                                                const std::string& prefix) {
  std::ifstream manifest(corpus + "/MANIFEST.tsv");
  if (!manifest) return std::nullopt;
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(manifest, line);) {
    std::vector<std::string> cols;
    std::stringstream split(line);
    for (std::string c; std::getline(split, c, '\t');) cols.push_back(c);
    if (cols.size() >= 5 && cols[0].rfind(prefix, 0) == 0) rows.push_back(std::move(cols));
  }
  return rows;
}

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string all = path;
  for (std::size_t start = 0; start <= all.size();) {
    const std::size_t colon = all.find(':', start);
    const std::string dir = all.substr(start, colon - start);
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return false;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& folder) {
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (auto& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace talvor::testing
