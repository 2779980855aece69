// What the decoders read of one MIME part: its media type, charset, file
// name and disposition, and its content with the transfer encoding undone.
#include <memory>

#include "mime/base64_decode.h"
#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_internal.h"
#include "mime/uudecode.h"

namespace qv::mime::detail {

namespace {

constexpr size_t kReadChunk = 65536;  // bytes of decoded content read at a time
constexpr size_t kBase64Sample = 8192;  // bytes of base64 content looked at before decoding
// An encoded forwarded message longer than this once decoded stays an attachment.
constexpr size_t kMaxEncodedMessage = 64u << 20;
constexpr std::string_view kNotBase64 = "it is not base64 as declared: kept as written";

// Whether content declared base64 holds base64 data: a base64 line never has
// blanks inside it, while lines of plain words have them between the words.
// Content whose lines (of its first bytes) mostly hold words is plain text;
// junk characters without blanks are broken base64, decoded as far as it goes.
bool holdsBase64(std::string_view sample) {
  size_t lines = 0, words = 0, pos = 0;
  while (pos < sample.size()) {
    size_t next;
    std::string_view line = trimWsp(lineAt(sample, pos, next));
    pos = next;
    if (line.empty()) continue;
    ++lines;
    words += line.find_first_of(" \t") != std::string_view::npos;
  }
  return words * 2 <= lines;
}

// Streams the content as it stands from the start of `src`.
void readRaw(GMimeStream* src, const std::function<void(const char*, size_t)>& sink) {
  g_mime_stream_reset(src);
  std::unique_ptr<char[]> buf(new char[kReadChunk]);
  ssize_t n;
  while ((n = g_mime_stream_read(src, buf.get(), kReadChunk)) > 0) sink(buf.get(), size_t(n));
}

GMimeContentEncoding effectiveEncoding(GMimePart* part, GMimeDataWrapper* w) {
  GMimeContentEncoding enc = g_mime_data_wrapper_get_encoding(w);
  if (enc != GMIME_CONTENT_ENCODING_DEFAULT) return enc;
  const char* h = g_mime_object_get_header(GMIME_OBJECT(part), "Content-Transfer-Encoding");
  if (!h) return enc;
  std::string v = lowerCopy(h);
  if (v.find("64") != std::string::npos) return GMIME_CONTENT_ENCODING_BASE64;
  if (v.find("quoted") != std::string::npos || v.find("qp") != std::string::npos)
    return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
  if (v.find("uu") != std::string::npos) return GMIME_CONTENT_ENCODING_UUENCODE;
  return enc;
}

}  // namespace

std::string contentTypeOf(GMimeObject* obj) {
  if (const char* raw = g_mime_object_get_header(obj, "Content-Type")) return mediaType(raw);
  GMimeContentType* ct = g_mime_object_get_content_type(obj);
  if (!ct) return "text/plain";
  const char* t = g_mime_content_type_get_media_type(ct);
  const char* s = g_mime_content_type_get_media_subtype(ct);
  return mediaType(std::string(t ? t : "") + "/" + (s ? s : ""));
}

std::string leafTypeOf(GMimeObject* obj) {
  std::string type = contentTypeOf(obj);
  return type.rfind("multipart/", 0) == 0 ? "text/plain" : type;
}

std::string charsetOf(GMimeObject* obj) {
  if (const char* c = g_mime_object_get_content_type_parameter(obj, "charset")) return c;
  if (const char* raw = g_mime_object_get_header(obj, "Content-Type")) return charsetParameter(raw);
  return "";
}

std::string filenameOf(GMimePart* part) {
  const char* f = g_mime_part_get_filename(part);
  if (!f) return "";
  std::string_view v(f);
  return cleanHeaderText(isValidUtf8(v) ? std::string(v) : windows1252ToUtf8(v));
}

bool isAttachmentDisposition(GMimeObject* obj) {
  const char* d = g_mime_object_get_disposition(obj);
  return d && equalsNoCase(trimWsp(d), "attachment");
}

bool isTextType(const std::string& type) {
  return type.rfind("text/", 0) == 0 || type == "message/delivery-status" ||
         type == "message/disposition-notification" || type == "message/feedback-report";
}

namespace {

// Content that GMime's filters decode (quoted-printable) or that is kept as
// it is (7bit, 8bit, binary, an encoding no one knows).
void readFiltered(GMimeStream* src, GMimeContentEncoding enc, const std::function<void(const char*, size_t)>& sink) {
  g_mime_stream_reset(src);
  GRef<GMimeStream> filtered;
  GMimeStream* in = src;
  if (enc == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) {
    filtered.reset(g_mime_stream_filter_new(src));
    GMimeFilter* f = g_mime_filter_basic_new(enc, FALSE);
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), f);
    g_object_unref(f);
    in = filtered.get();
  }
  std::unique_ptr<char[]> buf(new char[kReadChunk]);
  // A read may yield nothing while the filter eats input that decodes to
  // nothing; it ends when the input makes no progress.
  gint64 lastPos = g_mime_stream_tell(src);
  int stuck = 0;
  while (true) {
    ssize_t n = g_mime_stream_read(in, buf.get(), kReadChunk);
    if (n > 0) {
      sink(buf.get(), size_t(n));
      stuck = 0;
      continue;
    }
    if (n < 0 || g_mime_stream_eos(in)) break;
    gint64 pos = g_mime_stream_tell(src);
    if (pos != lastPos) {
      lastPos = pos;
      stuck = 0;
    } else if (++stuck > 16) {
      break;
    }
  }
}

// Base64 content; plain words declared base64 are given as they stand.
std::string readBase64(GMimeStream* src, const std::function<void(const char*, size_t)>& sink) {
  std::string sample(kBase64Sample, '\0');
  g_mime_stream_reset(src);
  ssize_t n = g_mime_stream_read(src, sample.data(), sample.size());
  sample.resize(n > 0 ? size_t(n) : 0);
  if (!holdsBase64(sample)) {
    readRaw(src, sink);
    return std::string(kNotBase64);
  }
  Base64Decoder b64(sink);
  readRaw(src, [&](const char* p, size_t len) { b64.feed(p, len); });
  b64.finish();
  return "";
}

std::string readUuencoded(GMimeStream* src, const std::function<void(const char*, size_t)>& sink) {
  UuDecoder uu(sink);
  readRaw(src, [&](const char* p, size_t n) { uu.feed(p, n); });
  return uuDamageText(uu.finish());
}

}  // namespace

bool readDecoded(GMimePart* part, const std::function<void(const char*, size_t)>& sink, std::string* damage) {
  GMimeDataWrapper* w = g_mime_part_get_content(part);
  if (!w) return false;
  GMimeStream* src = g_mime_data_wrapper_get_stream(w);
  if (!src) return false;
  GMimeContentEncoding enc = effectiveEncoding(part, w);
  std::string what;
  if (enc == GMIME_CONTENT_ENCODING_UUENCODE)
    what = readUuencoded(src, sink);
  else if (enc == GMIME_CONTENT_ENCODING_BASE64)
    what = readBase64(src, sink);
  else
    readFiltered(src, enc, sink);
  if (damage) *damage = std::move(what);
  return true;
}

bool looksBinary(std::string_view sample) {
  if (sample.empty()) return false;
  size_t controls = 0, nul = 0;
  for (char ch : sample) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == 0) ++nul;
    else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1B) ++controls;
  }
  // NUL bytes in text are blanks to the reader; the other bytes tell.
  size_t rest = sample.size() - nul;
  return rest == 0 || controls * 10 > rest;
}

GRef<GMimeMessage> encodedMessage(GMimePart* part, const std::string& type) {
  if (type != "message/rfc822") return nullptr;
  GMimeDataWrapper* w = g_mime_part_get_content(part);
  if (!w) return nullptr;
  GMimeContentEncoding enc = effectiveEncoding(part, w);
  if (enc != GMIME_CONTENT_ENCODING_BASE64 && enc != GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) return nullptr;
  std::string bytes;
  bool tooLong = false;
  readDecoded(part, [&](const char* p, size_t n) {
    if (bytes.size() + n > kMaxEncodedMessage) tooLong = true;
    if (!tooLong) bytes.append(p, n);
  });
  size_t next;
  std::string_view first = lineAt(bytes, 0, next), name, value;
  if (tooLong || !headerLine(first, name, value)) return nullptr;
  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  return GRef<GMimeMessage>(g_mime_parser_construct_message(parser.get(), gmimeOptions()));
}

bool isWideCharset(std::string_view cs) {
  std::string l = lowerCopy(trimWsp(cs));
  return l.rfind("utf-16", 0) == 0 || l.rfind("utf-32", 0) == 0 || l.rfind("ucs-2", 0) == 0 ||
         l.rfind("ucs-4", 0) == 0 || l.rfind("utf16", 0) == 0 || l.rfind("utf32", 0) == 0 || l == "unicode";
}

}  // namespace qv::mime::detail
