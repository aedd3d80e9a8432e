// Text that comes from outside as UTF-8 or URL form: mxt_url_decode,
// decode_utf8, the code page converters under them, and the hex text that
// mxt_decrypt_text reads.
//
// The input is taken whole as the text; for the hex text it is split at
// its first zero byte into the key and the hex (up to the next zero byte),
// the way a game holds both as strings.
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "runtime/platform/codepage.h"
#include "runtime/types/text_helpers.h"
#include "runtime/types/types.h"

namespace {

size_t utf8_length_of(int32_t code_point) {
  return code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
}

// Walks the text character by character; true when every sequence is valid.
bool check_utf8_walk(std::string_view text) {
  bool valid = true;
  while (!text.empty()) {
    const mxt::Utf8Char c = mxt::next_utf8_char(text);
    // A length of 0 would stall every caller's loop; past the end, overrun it.
    MXT_FUZZ_CHECK(c.length >= 1 && c.length <= text.size() && c.length <= 4);
    if (c.code_point < 0) {
      valid = false;
    } else {
      MXT_FUZZ_CHECK(c.code_point <= 0x10FFFF);
      MXT_FUZZ_CHECK(c.code_point < 0xD800 || c.code_point > 0xDFFF);
      MXT_FUZZ_CHECK(c.length == utf8_length_of(c.code_point));  // no overlong form gets through
    }
    text.remove_prefix(c.length);
  }
  return valid;
}

void check_decrypt(std::string_view input) {
  const size_t zero = input.find('\0');
  if (zero == std::string_view::npos) return;
  const std::string_view key = input.substr(0, zero);
  std::string_view hex = input.substr(zero + 1);
  hex = hex.substr(0, hex.find('\0'));
  const RtString k(key), h(hex);
  const RtString plain = mxt_decrypt_text(k, h);
  MXT_FUZZ_CHECK(plain.length <= ((hex.size() / 2 + 7) & ~size_t{7}));
  MXT_FUZZ_CHECK(std::memchr(plain.data, 0, plain.length) == nullptr);  // up to the first zero byte

  // Encrypting the hex part as plain text and decrypting it again gives it back.
  if (key.empty() || hex.empty()) return;
  const RtString back = mxt_decrypt_text(k, mxt_encrypt_text(k, h));
  MXT_FUZZ_CHECK(back.view() == hex);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const RtString text(input);

  const bool valid = check_utf8_walk(input);

  // decode_utf8 drops invalid sequences where utf8_to_cp1252 puts the
  // fallback; on valid text the two are the same conversion.
  RtString decoded(input);
  mxt::decode_utf8(decoded);
  MXT_FUZZ_CHECK(decoded.length <= text.length);
  MXT_FUZZ_CHECK(decoded.data[decoded.length] == 0);
  const std::string converted = mxt::utf8_to_cp1252(input);
  if (valid) MXT_FUZZ_CHECK(decoded.view() == converted);

  // Every code page text survives the trip to UTF-8 and back, both ways down.
  const std::string utf8 = mxt::cp1252_to_utf8(input);
  MXT_FUZZ_CHECK(check_utf8_walk(utf8));
  MXT_FUZZ_CHECK(mxt::utf8_to_cp1252(utf8) == input);
  RtString again(utf8);
  mxt::decode_utf8(again);
  MXT_FUZZ_CHECK(again.view() == input);

  // URL form: decoding never lengthens, and what mxt_url_encode wrote
  // decodes to the text it came from.
  const RtString url = mxt_url_decode(text);
  MXT_FUZZ_CHECK(url.length <= text.length);
  MXT_FUZZ_CHECK(mxt_url_decode(mxt_url_encode(text)).view() == input);

  check_decrypt(input);
  return 0;
}
