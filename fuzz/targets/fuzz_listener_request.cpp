// The sign-in listener's request reader: the bytes a browser, or any program
// on this computer, sends to port 42361, arriving in pieces of any size.
// The reader gathers the request head within its byte limit, the head is
// split into method, path, query and Host, and the browser's return is read
// for its code and state the way the sign-in reads it.
//
// The first input byte chooses the size of the pieces; the rest is the
// request. Besides "no fault" the target checks that the reader never keeps
// more than its limit, that a complete head holds no empty line, that a
// code read is the whole decoded value of the first parameter apart from
// the state ones, and that the trace's copy of the address shows the code
// cut short.

#include "FuzzCheck.h"

#include "auth/HttpRequestReader.h"
#include "auth/SignInFlow.h"
#include "net/SecretText.h"

#include <algorithm>
#include <cstdint>

using namespace veltrano;

namespace {

constexpr std::size_t kLimit = 16 * 1024; // the listener's own limit
const QString kRedirectUri = QStringLiteral("http://localhost:42361/Callback");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t(data[0] % 64) + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const std::size_t length = size - 1;

    HttpRequestReader reader(kLimit);
    for (std::size_t at = 0; at < length && reader.status() == HttpRequestReader::Status::Incomplete; at += piece)
        reader.feed(bytes + at, std::min(piece, length - at));

    switch (reader.status()) {
    case HttpRequestReader::Status::Refused:
        FUZZ_CHECK(reader.refusal() == 400 || reader.refusal() == 413 || reader.refusal() == 431);
        return 0;
    case HttpRequestReader::Status::Incomplete:
        return 0;
    case HttpRequestReader::Status::Complete:
        break;
    }
    const std::string &head = reader.head();
    FUZZ_CHECK(head.size() <= kLimit);
    FUZZ_CHECK(head.find("\r\n\r\n") == std::string::npos);

    HttpRequestHead request;
    if (!HttpRequestReader::parseHead(head, request))
        return 0;
    FUZZ_CHECK(!request.method.empty());
    FUZZ_CHECK(request.path.find('?') == std::string::npos);

    const SignInFlow::CallbackReading reading = SignInFlow::readCallback(request, kRedirectUri);
    if (!reading.code.isEmpty()) {
        const auto first = std::find_if(request.params.begin(), request.params.end(),
                                        [](const auto &param) { return param.first != "state"; });
        FUZZ_CHECK(first != request.params.end() && first->first == "code");
        FUZZ_CHECK(QString::fromStdString(first->second) == reading.code);
        FUZZ_CHECK(reading.fullUrl.contains(QStringLiteral("code=") + reading.code));
        FUZZ_CHECK(reading.tracedUrl.contains(QStringLiteral("code=") + secretPreview(reading.code)));
    }
    return 0;
}
