// The method parameters and the choice of decoder. The encoder is in
// lha_encoder.cpp, the decoders in lha_decoder.cpp and lha_lzss.cpp.
#include "archive/lha/lha_codec.h"

#include <array>

#include "archive/archive_io.h"

namespace talvor {

LhaMethod ReadMethod(char id) noexcept {
  switch (id) {
    case '4':
      return {12, 13, 4};
    case '5':
      return {13, 14, 4};
    case '6':
      return {15, 16, 5};
    case '7':
      return {16, 17, 5};
    case 'x':
      return {20, 21, 5};
    default:
      return {0, 0, 0};  // LhaDecodeStatic rejects it
  }
}

namespace {

enum class Decoder { kStored, kLh1, kStatic, kLzs, kLz5, kPm1, kPm2 };

struct MethodRow {
  const char* id;
  Decoder decoder;
};

constexpr std::array<MethodRow, 13> kMethods = {{
    {"-lh0-", Decoder::kStored},
    {"-lz4-", Decoder::kStored},
    {"-pm0-", Decoder::kStored},
    {"-lh1-", Decoder::kLh1},
    {"-lh4-", Decoder::kStatic},
    {"-lh5-", Decoder::kStatic},
    {"-lh6-", Decoder::kStatic},
    {"-lh7-", Decoder::kStatic},
    {"-lhx-", Decoder::kStatic},
    {"-lzs-", Decoder::kLzs},
    {"-lz5-", Decoder::kLz5},
    {"-pm1-", Decoder::kPm1},
    {"-pm2-", Decoder::kPm2},
}};

const MethodRow* FindMethod(const std::string& method) {
  for (const MethodRow& row : kMethods) {
    if (method == row.id) return &row;
  }
  return nullptr;
}

}  // namespace

bool LhaMethodDecoded(const std::string& method) {
  return FindMethod(method) != nullptr;
}

bool LhaMethodStored(const std::string& method) {
  const MethodRow* row = FindMethod(method);
  return row != nullptr && row->decoder == Decoder::kStored;
}

void LhaDecode(const std::string& method, ByteSource& in, ByteSink& out,
               std::uint64_t original_size) {
  const MethodRow* row = FindMethod(method);
  if (row == nullptr) throw std::invalid_argument("no decoder for the method " + method);
  switch (row->decoder) {
    case Decoder::kStored:
      CopyExactly(in, out, original_size);
      return;
    case Decoder::kLh1:
      LhaDecodeLh1(in, out, original_size);
      return;
    case Decoder::kStatic:
      LhaDecodeStatic(in, out, ReadMethod(method[3]), original_size);
      return;
    case Decoder::kLzs:
      LhaDecodeLzs(in, out, original_size);
      return;
    case Decoder::kLz5:
      LhaDecodeLz5(in, out, original_size);
      return;
    case Decoder::kPm1:
      LhaDecodePm1(in, out, original_size);
      return;
    case Decoder::kPm2:
      LhaDecodePm2(in, out, original_size);
      return;
  }
}

}  // namespace talvor
