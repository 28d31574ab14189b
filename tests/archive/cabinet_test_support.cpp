#include "archive/cabinet_test_support.h"

#include <openssl/evp.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>

#include "platform/file_system.h"

namespace talvor::cabinet_testing {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
namespace fs = std::filesystem;

std::string Content(std::size_t n, unsigned key) {
  if (key % 3 == 1) return testing::SomeBytes(n, key);
  static const char* const kWords[] = {"cabinet", "folder", "the", "block", "of",
                                       "data",    "and",    "\n",  "name",  "{ x = y; }"};
  std::mt19937 rng(key);
  std::string out;
  while (out.size() < n) out += std::string(kWords[rng() % std::size(kWords)]) + " ";
  out.resize(n);
  for (std::size_t i = 0; key % 3 == 2 && i < n; i += 3000) {
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i), std::min<std::size_t>(1200, n - i),
                '\0');
  }
  return out;
}

std::string Sha256(const std::string& data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += "0123456789abcdef"[digest[i] >> 4];
    hex += "0123456789abcdef"[digest[i] & 15];
  }
  return hex;
}

Outcome RunProgram(const std::string& command) {
  Outcome result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
    result.output.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Have(const std::string& program) {
  return RunProgram("command -v " + program).status == 0;
}

std::string Slashes(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

std::unique_ptr<CabinetBuilder> Builder(const std::string& folder, std::uint32_t max_size) {
  CabinetParameters params;
  params.cabinet_path = folder;
  params.cabinet_name = "test.cab";
  if (max_size != 0) params.max_cabinet_size = max_size;
  return MakeCabinetLibrary()->Create(params);
}

std::string MakeCabinet(const TempDir& dir, const std::vector<Member>& members,
                        std::uint16_t compression) {
  fs::create_directories(dir / "in");
  const std::unique_ptr<CabinetBuilder> builder = Builder(dir.path());
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    WriteFile(dir / ("in/" + std::to_string(i)), m.content);
    builder->AddFile(dir / ("in/" + std::to_string(i)), m.name, m.attributes, m.dos_time,
                     compression);
  }
  builder->Flush();
  fs::remove_all(dir / "in");
  return dir / "test.cab";
}

std::string Extract(CabinetSession& session, std::size_t index, const std::string& scratch) {
  PosixFileSystem files;
  File out = files.Create(scratch);
  Job job;
  session.Extract(index, out, job);
  out.Close();
  return ReadFile(scratch);
}

Contents ExtractAll(const std::string& cabinet, const std::string& scratch) {
  const std::unique_ptr<CabinetSession> session = MakeCabinetLibrary()->Open(cabinet);
  Contents contents;
  for (std::size_t i = 0; i < session->Files().size(); ++i) {
    contents[Slashes(session->Files()[i].name)] = Extract(*session, i, scratch);
  }
  return contents;
}

}  // namespace talvor::cabinet_testing
