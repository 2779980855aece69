// What the decoders read of one MIME part: its media type, charset, file
// name and disposition, and its content with the transfer encoding undone.
#include <memory>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_internal.h"

namespace qv::mime::detail {

namespace {

constexpr size_t kReadChunk = 65536;  // bytes of decoded content read at a time

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

bool readDecoded(GMimePart* part, const std::function<void(const char*, size_t)>& sink) {
  GMimeDataWrapper* w = g_mime_part_get_content(part);
  if (!w) return false;
  GMimeStream* src = g_mime_data_wrapper_get_stream(w);
  if (!src) return false;
  GMimeContentEncoding enc = effectiveEncoding(part, w);
  g_mime_stream_reset(src);
  GRef<GMimeStream> filtered;
  GMimeStream* in = src;
  if (enc == GMIME_CONTENT_ENCODING_BASE64 || enc == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
      enc == GMIME_CONTENT_ENCODING_UUENCODE) {
    filtered.reset(g_mime_stream_filter_new(src));
    GMimeFilter* f = g_mime_filter_basic_new(enc, FALSE);
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), f);
    g_object_unref(f);
    in = filtered.get();
  }
  std::unique_ptr<char[]> buf(new char[kReadChunk]);
  // A read may yield nothing while the filter eats input that decodes to
  // nothing (junk in base64); it ends when the input makes no progress.
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
  return true;
}

bool looksBinary(std::string_view sample) {
  if (sample.empty()) return false;
  size_t controls = 0;
  for (char ch : sample) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1B) ++controls;
  }
  return controls * 10 > sample.size();
}

bool isWideCharset(std::string_view cs) {
  std::string l = lowerCopy(trimWsp(cs));
  return l.rfind("utf-16", 0) == 0 || l.rfind("utf-32", 0) == 0 || l.rfind("ucs-2", 0) == 0 ||
         l.rfind("ucs-4", 0) == 0 || l.rfind("utf16", 0) == 0 || l.rfind("utf32", 0) == 0 || l == "unicode";
}

}  // namespace qv::mime::detail
