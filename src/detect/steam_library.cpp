#include "detect/steam_library.h"

#include <algorithm>

#include "base/ascii.h"

namespace dfm {
namespace {

constexpr std::size_t kMaxDepth = 32;

enum class Token { kText, kOpen, kClose, kEnd, kBad };

class Lexer {
 public:
  explicit Lexer(std::string_view text) : s_(text) {}

  // The next token; a kText token's text is in text().
  Token Next() {
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size()) return Token::kEnd;
      char c = s_[pos_];
      if (c == '{' || c == '}') {
        ++pos_;
        return c == '{' ? Token::kOpen : Token::kClose;
      }
      if (c == '"') return Quoted();
      Bare();
      if (text_.size() >= 2 && text_.front() == '[' && text_.back() == ']') continue;
      return Token::kText;
    }
  }
  const std::string& text() const { return text_; }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  void SkipSpace() {
    while (pos_ < s_.size()) {
      if (IsSpace(s_[pos_])) {
        ++pos_;
      } else if (s_.substr(pos_, 2) == "//") {
        std::size_t end = s_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? s_.size() : end;
      } else {
        return;
      }
    }
  }

  Token Quoted() {
    text_.clear();
    for (++pos_; pos_ < s_.size(); ++pos_) {
      char c = s_[pos_];
      if (c == '"') {
        ++pos_;
        return Token::kText;
      }
      if (c != '\\' || pos_ + 1 >= s_.size()) {
        text_ += c;
        continue;
      }
      char e = s_[++pos_];
      switch (e) {
        case '\\':
        case '"':
          text_ += e;
          break;
        case 'n':
          text_ += '\n';
          break;
        case 't':
          text_ += '\t';
          break;
        default:  // not an escape: the backslash is part of the text ("D:\Games")
          text_ += '\\';
          text_ += e;
      }
    }
    return Token::kBad;
  }

  void Bare() {
    std::size_t start = pos_;
    while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != '"' && s_[pos_] != '{' &&
           s_[pos_] != '}')
      ++pos_;
    text_.assign(s_.substr(start, pos_ - start));
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::string text_;
};

const KeyValues* Child(const std::vector<KeyValues>& pairs, std::string_view key) {
  for (const KeyValues& kv : pairs) {
    if (LowerAscii(kv.key) == LowerAscii(key)) return &kv;
  }
  return nullptr;
}

bool IsNumber(const std::string& key) {
  return !key.empty() &&
         std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::vector<KeyValues>> ParseKeyValues(std::string_view text) {
  Lexer lexer(text);
  std::vector<KeyValues> root;
  // The blocks being filled, innermost last; each is the children of the previous one's
  // last pair (or of the root).
  std::vector<std::vector<KeyValues>*> open{&root};
  for (;;) {
    Token t = lexer.Next();
    if (t == Token::kEnd) {
      if (open.size() != 1) return std::nullopt;
      return root;
    }
    if (t == Token::kClose) {
      if (open.size() == 1) return std::nullopt;
      open.pop_back();
      continue;
    }
    if (t != Token::kText) return std::nullopt;
    KeyValues pair;
    pair.key = lexer.text();
    Token v = lexer.Next();
    if (v == Token::kText) {
      pair.value = lexer.text();
      open.back()->push_back(std::move(pair));
    } else if (v == Token::kOpen && open.size() <= kMaxDepth) {
      pair.is_block = true;
      open.back()->push_back(std::move(pair));
      open.push_back(&open.back()->back().children);
    } else {
      return std::nullopt;
    }
  }
}

std::optional<std::vector<std::string>> SteamLibraryFolders(std::string_view text) {
  auto pairs = ParseKeyValues(text);
  if (!pairs) return std::nullopt;
  std::vector<std::string> folders;
  const KeyValues* list = Child(*pairs, "libraryfolders");
  if (list == nullptr) return folders;
  for (const KeyValues& entry : list->children) {
    if (!IsNumber(entry.key)) continue;
    const KeyValues* path = entry.is_block ? Child(entry.children, "path") : &entry;
    if (path != nullptr && !path->is_block && !path->value.empty()) folders.push_back(path->value);
  }
  return folders;
}

}  // namespace dfm
