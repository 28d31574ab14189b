// What the cabinet library's tests share: cabinets made from members, their
// files read back, other programs run on them.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/cab/cabinet.h"
#include "test_support.h"

namespace talvor::cabinet_testing {

using Contents = std::map<std::string, std::string>;

inline constexpr std::uint16_t kStored = cabinet_compression::kNone;
inline constexpr std::uint16_t kMsZip = cabinet_compression::kMsZip;
// 2021-06-15 13:45:00
inline constexpr std::uint32_t kSomeTime =
    (2021 - 1980) << 25 | 6 << 21 | 15 << 16 | 13 << 11 | 45 << 5;
inline constexpr std::time_t kSomeTimeUtc = 1623764700;

// Words, with runs of zeros (key % 3 == 2) or noise only (key % 3 == 1).
[[nodiscard]] std::string Content(std::size_t n, unsigned key);
[[nodiscard]] std::string Sha256(const std::string& data);

struct Outcome {
  int status = -1;
  std::string output;
};

// Runs a shell command; its output with standard error.
[[nodiscard]] Outcome RunProgram(const std::string& command);
[[nodiscard]] std::string Quote(const std::string& text);
[[nodiscard]] bool Have(const std::string& program);
[[nodiscard]] std::string Slashes(std::string name);

struct Member {
  std::string name;  // as stored
  std::string content;
  std::uint16_t attributes = 0x20;
  std::uint32_t dos_time = kSomeTime;
};

// A builder of `folder`/test.cab.
[[nodiscard]] std::unique_ptr<CabinetBuilder> Builder(const std::string& folder,
                                                      std::uint32_t max_size = 0);
// The sources go to `dir`/in (removed again), the cabinet to `dir`/test.cab.
std::string MakeCabinet(const testing::TempDir& dir, const std::vector<Member>& members,
                        std::uint16_t compression);
// File `index` of the session, by way of the file `scratch`.
[[nodiscard]] std::string Extract(CabinetSession& session, std::size_t index,
                                  const std::string& scratch);
[[nodiscard]] Contents ExtractAll(const std::string& cabinet, const std::string& scratch);

template <typename Call>
[[nodiscard]] std::optional<CabinetError> ErrorOf(Call call) {
  try {
    call();
  } catch (const CabinetError& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace talvor::cabinet_testing
