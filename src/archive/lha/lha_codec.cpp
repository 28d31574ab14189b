// The method parameters. The encoder is in lha_encoder.cpp, the decoders in
// lha_decoder.cpp.
#include "archive/lha/lha_codec.h"

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
    default:
      return {0, 0, 0};  // LhaDecodeStatic rejects it
  }
}

}  // namespace talvor
