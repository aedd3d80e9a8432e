// HTTP responses as the download reads them: the header block found across
// reads, Content-Length and chunked framing. The first input byte chooses
// how the rest is cut into reads; however it is cut, the reader must come
// to the same state and the same body as when it gets everything at once,
// and never give more body than arrived or than a length allows.
#include <string>

#include "fuzz_support.h"
#include "runtime/net/http.h"

namespace {

using Reader = mxt::HttpResponseReader;

Reader::State read_all(const uint8_t* data, size_t size, size_t step, std::string& body, Reader& reader) {
  for (size_t at = 0; at < size && (reader.state() == Reader::State::header || reader.state() == Reader::State::body);
       at += step) {
    const size_t n = size - at < step ? size - at : step;
    reader.feed(data + at, n, body);
  }
  if (reader.state() == Reader::State::header || reader.state() == Reader::State::body) reader.close();
  return reader.state();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  if (size == 0) return 0;
  const size_t step = 1 + data[0] % 17;
  ++data;
  --size;
  std::string whole_body, cut_body;
  Reader whole, cut;
  const Reader::State a = read_all(data, size, size == 0 ? 1 : size, whole_body, whole);
  const Reader::State b = read_all(data, size, step, cut_body, cut);
  MXT_FUZZ_CHECK(a == b);
  MXT_FUZZ_CHECK(whole_body == cut_body);
  MXT_FUZZ_CHECK(whole_body.size() <= size);
  MXT_FUZZ_CHECK(static_cast<int64_t>(whole_body.size()) == whole.body_bytes());
  if (whole.content_length() >= 0) MXT_FUZZ_CHECK(whole.body_bytes() <= whole.content_length());
  MXT_FUZZ_CHECK(a == Reader::State::complete || a == Reader::State::failed);
  return 0;
}
