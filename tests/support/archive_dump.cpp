#include "support/archive_dump.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace qvtest {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isIdColumn(const std::string& c) {
  return c == "ID" || endsWith(c, "ID") || (endsWith(c, "NUMBER") && c != "DIRNUMBER" && c != "SECTIONNUMBER");
}

// Columns whose values belong to the run rather than to the archive.
bool leftOut(const std::string& file, const std::string& column) {
  // The import stamps its texts; a task run stamps its end and its imports' seconds.
  return (endsWith(file, "/IDX004.ADF") && (column == "DATE" || column == "TIME")) ||
         (endsWith(file, "CFG/IDX026.ADF") && (column == "LASTRUNDATE" || column == "LASTRUNTIME")) ||
         (endsWith(file, "CFG/IDX035.ADF") && column == "EVENTTIME");
}

std::vector<std::string> archiveFiles(const std::string& root) {
  std::vector<std::string> out;
  std::error_code ec;
  std::vector<std::string> dirs{"CFG"};
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (it->is_directory(ec) && name.size() > 1 && name[0] == 'F') dirs.push_back(name);
  }
  std::sort(dirs.begin() + 1, dirs.end());
  for (const std::string& d : dirs) {
    std::vector<std::string> files;
    for (fs::directory_iterator it(root + "/" + d, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      // The control file holds the ID counter and the installation's settings,
      // not the archive.
      if (d == "CFG" && name == "IDX008.ADF") continue;
      if (it->is_regular_file(ec) && (endsWith(name, ".ADF") || endsWith(name, ".DAT"))) files.push_back(d + "/" + name);
    }
    std::sort(files.begin(), files.end());
    out.insert(out.end(), files.begin(), files.end());
  }
  return out;
}

class Dumper {
 public:
  explicit Dumper(std::ostringstream& out) : out_(out) {}

  void file(const std::string& root, const std::string& rel) {
    sqlite3* db = nullptr;
    std::string uri = "file:" + root + "/" + rel + "?immutable=1";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
      out_ << rel << ": cannot open\n";
      sqlite3_close(db);
      return;
    }
    std::vector<std::string> tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
      std::string t(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      if (t != "sqlite_sequence" && t != "qv_meta") tables.push_back(t);
    }
    sqlite3_finalize(st);
    if (endsWith(rel, "/IDX029.ADF") && std::find(tables.begin(), tables.end(), "word_postings") != tables.end()) {
      occurrences(db, rel);
    } else {
      for (const std::string& t : tables) table(db, rel, t);
    }
    sqlite3_close(db);
  }

 private:
  // The numbers of a list: LEB128 varints of the differences between neighbours.
  static std::vector<int64_t> decodeList(const void* p, int n) {
    std::vector<int64_t> out;
    const auto* c = static_cast<const unsigned char*>(p);
    int64_t last = 0;
    for (int i = 0; i < n;) {
      uint64_t v = 0;
      for (int shift = 0; i < n; shift += 7) {
        unsigned char b = c[i++];
        v |= uint64_t(b & 0x7f) << shift;
        if (!(b & 0x80)) break;
      }
      last += int64_t(v);
      out.push_back(last);
    }
    return out;
  }

  std::string message(int64_t id) {
    auto it = ids_.emplace(id, int64_t(ids_.size()) + 1).first;
    return "#" + std::to_string(it->second);
  }

  template <class Row>
  void rows(sqlite3* db, const char* sql, Row row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return;  // a table the file does not have
    while (sqlite3_step(st) == SQLITE_ROW) row(st);
    sqlite3_finalize(st);
  }

  void occurrences(sqlite3* db, const std::string& rel) {
    std::map<int64_t, std::vector<int64_t>> byWord;
    rows(db, "SELECT word, messages FROM word_postings", [&](sqlite3_stmt* st) {
      std::vector<int64_t> m = decodeList(sqlite3_column_blob(st, 1), sqlite3_column_bytes(st, 1));
      auto& all = byWord[sqlite3_column_int64(st, 0)];
      all.insert(all.end(), m.begin(), m.end());
    });
    for (auto& [word, messages] : byWord) {
      std::sort(messages.begin(), messages.end());
      out_ << rel << " word " << word << ":";
      for (int64_t m : messages) out_ << " " << message(m);
      out_ << "\n";
    }
    rows(db, "SELECT message, words FROM message_words ORDER BY message", [&](sqlite3_stmt* st) {
      out_ << rel << " message " << message(sqlite3_column_int64(st, 0)) << ":";
      for (int64_t w : decodeList(sqlite3_column_blob(st, 1), sqlite3_column_bytes(st, 1))) out_ << " " << w;
      out_ << "\n";
    });
    rows(db, "SELECT message, hex(tokens) FROM message_tokens ORDER BY message", [&](sqlite3_stmt* st) {
      out_ << rel << " sequence " << message(sqlite3_column_int64(st, 0)) << ": "
           << reinterpret_cast<const char*>(sqlite3_column_text(st, 1)) << "\n";
    });
    rows(db, "SELECT id, word FROM text_words ORDER BY id", [&](sqlite3_stmt* st) {
      out_ << rel << " text word " << sqlite3_column_int64(st, 0) << ": "
           << reinterpret_cast<const char*>(sqlite3_column_text(st, 1)) << "\n";
    });
  }

  void table(sqlite3* db, const std::string& rel, const std::string& t) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT * FROM \"" + t + "\" ORDER BY qv_pos";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      sql = "SELECT * FROM \"" + t + "\"";
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        out_ << rel << " " << t << ": " << sqlite3_errmsg(db) << "\n";
        return;
      }
    }
    int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
      out_ << rel << " " << t << ":";
      for (int c = 0; c < n; ++c) {
        std::string col = sqlite3_column_name(st, c);
        if (col == "qv_pos" || leftOut(rel, col)) continue;
        out_ << " " << col << "=";
        if (sqlite3_column_type(st, c) == SQLITE_INTEGER && isIdColumn(col)) {
          int64_t v = sqlite3_column_int64(st, c);
          if (v == 0) {
            out_ << 0;
          } else {
            auto it = ids_.emplace(v, int64_t(ids_.size()) + 1).first;
            out_ << "#" << it->second;
          }
        } else {
          const unsigned char* v = sqlite3_column_text(st, c);
          out_ << '"' << (v ? reinterpret_cast<const char*>(v) : "") << '"';
        }
      }
      out_ << "\n";
    }
    sqlite3_finalize(st);
  }

  std::ostringstream& out_;
  std::map<int64_t, int64_t> ids_;
};

}  // namespace

std::string dumpArchive(const std::string& root) {
  std::ostringstream out;
  Dumper d(out);
  for (const std::string& f : archiveFiles(root)) d.file(root, f);
  return out.str();
}

std::string firstDifference(const std::string& a, const std::string& b) {
  std::istringstream x(a), y(b);
  std::string lx, ly;
  int line = 0;
  while (true) {
    bool gx = bool(std::getline(x, lx)), gy = bool(std::getline(y, ly));
    ++line;
    if (!gx && !gy) return "";
    if (!gx || !gy || lx != ly)
      return "line " + std::to_string(line) + ":\n  expected: " + (gx ? lx : "<end>") + "\n  actual:   " + (gy ? ly : "<end>");
  }
}

}  // namespace qvtest
