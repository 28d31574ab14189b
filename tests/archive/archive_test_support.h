// Helpers for the archive tests: hand-made LHA entries, digests, running
// independent archive programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_component.h"

namespace talvor::testing {

// A level-0 LHA entry built by hand: the header (size byte = name length +
// 22, checksum), then `data` as it is.
std::string Level0Entry(const std::string& method, const std::string& name, const std::string& data,
                        std::uint32_t original_size, std::uint16_t crc,
                        std::uint32_t dos_time = 0x5A210000, std::uint8_t attributes = 0x20);

// A stored (-lh0-) level-0 entry with the right CRC.
std::string StoredEntry(const std::string& name, const std::string& data);

[[nodiscard]] std::string Sha256Hex(const std::string& data);

// Runs a program (argv[0] searched in PATH) with its output discarded;
// returns its exit status, or -1 when it could not run.
int RunProgram(const std::vector<std::string>& argv, const std::string& folder);
[[nodiscard]] bool HaveProgram(const std::string& name);

// The rows of the archive corpus's manifest (file, format, what it
// exercises, source, expected outcome, ...) whose file starts with `prefix`;
// nullopt when this machine has no corpus.
[[nodiscard]] std::optional<std::vector<std::vector<std::string>>> CorpusRows(
    const std::string& corpus, const std::string& prefix);

// Collects a component's error events.
struct ErrorLog {
  void Attach(ArchiveComponent& component) {
    component.OnError = [this](const ArchiveError& e) { events.push_back(e); };
  }
  [[nodiscard]] std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const ArchiveError& e : events) codes.push_back(e.code);
    return codes;
  }
  std::vector<ArchiveError> events;
};

}  // namespace talvor::testing
