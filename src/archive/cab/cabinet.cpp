#include "archive/cab/cabinet.h"

#include "archive/cab/cabinet_reader.h"
#include "archive/cab/cabinet_writer.h"

namespace talvor {

CabinetError::CabinetError(int code, int type)
    : std::runtime_error("Cabinet error " + std::to_string(code) + " (type " +
                         std::to_string(type) + ")"),
      code_(code),
      type_(type) {}

namespace {

class Library final : public CabinetLibrary {
 public:
  Library() : usable_(cabinet_internal::ReaderUsable()) {}

  bool Available() override { return usable_; }

  std::unique_ptr<CabinetBuilder> Create(const CabinetParameters& params) override {
    return cabinet_internal::MakeCabinetWriter(params);
  }

  bool IsCabinet(const std::string& path) override {
    return usable_ && cabinet_internal::IsCabinetFile(path);
  }

  std::unique_ptr<CabinetSession> Open(const std::string& path) override {
    if (!usable_) throw CabinetError(cabinet_internal::read_error::kAllocFail, 0);
    return cabinet_internal::OpenCabinetSet(path);
  }

 private:
  bool usable_;
};

}  // namespace

std::unique_ptr<CabinetLibrary> MakeCabinetLibrary() {
  return std::make_unique<Library>();
}

}  // namespace talvor
