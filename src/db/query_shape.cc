#include "db/query_shape.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <forward_list>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text_util.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::db {

namespace {

enum class TokenKind {
  kWord,       // a name or keyword as written
  kBracketed,  // a [bracketed name], brackets included
  kNumber,     // a number as written
  kText,       // a quoted text; `text` holds its value, doubled quotes undone
  kDate,       // a #date# literal; `text` holds what stands between the #'s
  kSymbol,     // an operator or punctuation
  kMarker,     // the "?" standing for a value in a shape's key
};

// A token's text points into the statement it was read from, or, for a quoted
// text whose doubled quotes were undone, into the Tokens that hold it.
struct Token {
  TokenKind kind;
  std::string_view text;
};

// The tokens of a statement and the undone quoted texts they point into. A
// query is taken apart for every value a run reads, so its tokens are views,
// not copies.
struct Tokens {
  std::vector<Token> list;
  // Texts that never move, and no allocation for the many queries without one.
  std::forward_list<std::string> unquoted;
};

// The classes of the characters of a statement, by table: every query of a
// run is read character by character, and the host's names are ASCII.
constexpr uint8_t kDigitClass = 1;
constexpr uint8_t kLetterClass = 2;  // ASCII letters and "_"
constexpr uint8_t kBlankClass = 4;
constexpr std::array<uint8_t, 256> kCharClasses = [] {
  std::array<uint8_t, 256> classes{};
  for (int c = '0'; c <= '9'; ++c) classes[c] = kDigitClass;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = classes[c - 'a' + 'A'] = kLetterClass;
  classes['_'] = kLetterClass;
  for (char c : {' ', '\t', '\r', '\n'}) classes[static_cast<unsigned char>(c)] = kBlankClass;
  return classes;
}();
uint8_t ClassOf(char c) { return kCharClasses[static_cast<unsigned char>(c)]; }

bool IsDigit(char c) { return ClassOf(c) == kDigitClass; }
bool IsWordStart(char c) { return ClassOf(c) == kLetterClass; }
bool IsWordPart(char c) { return (ClassOf(c) & (kDigitClass | kLetterClass)) != 0; }
bool IsBlank(char c) { return ClassOf(c) == kBlankClass; }

std::string Lower(std::string_view text) { return ToLower(text); }

bool IsWord(const Token& token, std::string_view lowered_word) {
  return token.kind == TokenKind::kWord && EqualsIgnoringCase(token.text, lowered_word);
}

bool IsSymbol(const Token& token, std::string_view symbol) {
  return token.kind == TokenKind::kSymbol && token.text == symbol;
}

// Splits a statement into tokens and hands each to `sink` as it is read, so
// that taking a query apart needs no list of its tokens. In a shape's key
// (`markers_allowed`) a "?" is the marker of a value; in the host's text it is
// not part of the dialect. A quoted text whose doubled quotes are undone is
// kept in `unquoted`, which the tokens' texts then point into.
template <typename Sink>
class Lexer {
 public:
  Lexer(std::string_view sql, bool markers_allowed, std::forward_list<std::string>& unquoted,
        Sink& sink)
      : sql_(sql), markers_allowed_(markers_allowed), unquoted_(unquoted), sink_(sink) {}

  void Run() {
    while (pos_ < sql_.size()) {
      const char c = sql_[pos_];
      if (IsBlank(c)) {
        ++pos_;
      } else if (IsWordStart(c)) {
        const size_t start = pos_;
        while (pos_ < sql_.size() && IsWordPart(sql_[pos_])) ++pos_;
        Add(TokenKind::kWord, sql_.substr(start, pos_ - start));
      } else if (IsDigit(c) || (c == '.' && NextIsDigit() && !LastIsOperand())) {
        LexNumber();
      } else if (c == '\'' || c == '"') {
        LexText(c);
      } else if (c == '[') {
        const size_t end = Closing(']', "bracketed name");
        Add(TokenKind::kBracketed, sql_.substr(pos_, end + 1 - pos_));
        pos_ = end + 1;
      } else if (c == '#') {
        const size_t end = Closing('#', "date literal");
        Add(TokenKind::kDate, sql_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = end + 1;
      } else if (c == '?' && markers_allowed_) {
        Add(TokenKind::kMarker, sql_.substr(pos_, 1));
        ++pos_;
      } else {
        LexSymbol(c);
      }
    }
  }

 private:
  void Add(TokenKind kind, std::string_view text) {
    last_ = Token{kind, text};
    any_ = true;
    sink_(last_);
  }

  bool NextIsDigit() const { return pos_ + 1 < sql_.size() && IsDigit(sql_[pos_ + 1]); }

  // A point after a name or a closing parenthesis qualifies it ("t2.5" is not a number).
  bool LastIsOperand() const {
    if (!any_) return false;
    return last_.kind == TokenKind::kWord || last_.kind == TokenKind::kBracketed ||
           IsSymbol(last_, ")");
  }

  // Digits, an optional fraction and an optional exponent ("1e5", "2.5E-3").
  void LexNumber() {
    const size_t start = pos_;
    while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    if (pos_ < sql_.size() && sql_[pos_] == '.') {
      ++pos_;
      while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    }
    if (pos_ < sql_.size() && (sql_[pos_] == 'e' || sql_[pos_] == 'E')) {
      size_t digits_at = pos_ + 1;
      const bool signed_exponent =
          digits_at < sql_.size() && (sql_[digits_at] == '+' || sql_[digits_at] == '-');
      if (signed_exponent) ++digits_at;
      if (digits_at < sql_.size() && IsDigit(sql_[digits_at])) {
        pos_ = digits_at;
        while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
      }
    }
    Add(TokenKind::kNumber, sql_.substr(start, pos_ - start));
  }

  // A text in single or double quotes; a doubled quote stands for one.
  void LexText(char quote) {
    const size_t start = pos_;
    std::string value;
    bool doubled = false;
    ++pos_;
    while (true) {
      if (pos_ >= sql_.size()) {
        throw Error("unterminated quoted text " + std::string(sql_.substr(start)) +
                    " in query: " + std::string(sql_));
      }
      if (sql_[pos_] == quote) {
        if (pos_ + 1 < sql_.size() && sql_[pos_ + 1] == quote) {
          if (!doubled) value.assign(sql_.substr(start + 1, pos_ - start - 1));
          doubled = true;
          value += quote;
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (doubled) value += sql_[pos_];
      ++pos_;
    }
    if (!doubled) {
      Add(TokenKind::kText, sql_.substr(start + 1, pos_ - start - 2));
      return;
    }
    Add(TokenKind::kText, unquoted_.emplace_front(std::move(value)));
  }

  size_t Closing(char closing, std::string_view what) const {
    const size_t end = sql_.find(closing, pos_ + 1);
    if (end == std::string_view::npos) {
      throw Error("unterminated " + std::string(what) + " " + std::string(sql_.substr(pos_)) +
                  " in query: " + std::string(sql_));
    }
    return end;
  }

  void LexSymbol(char c) {
    const char next = pos_ + 1 < sql_.size() ? sql_[pos_ + 1] : '\0';
    if ((c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=')) {
      Add(TokenKind::kSymbol, sql_.substr(pos_, 2));
      pos_ += 2;
      return;
    }
    static constexpr std::string_view kSingleSymbols = "=<>(),.*+-/;";
    if (kSingleSymbols.find(c) == std::string_view::npos) {
      throw Error("unexpected character '" + std::string(1, c) + "' at position " +
                  std::to_string(pos_) + " in query: " + std::string(sql_));
    }
    Add(TokenKind::kSymbol, sql_.substr(pos_, 1));
    ++pos_;
  }

  std::string_view sql_;
  bool markers_allowed_;
  std::forward_list<std::string>& unquoted_;
  Sink& sink_;
  size_t pos_ = 0;
  Token last_{TokenKind::kSymbol, {}};
  bool any_ = false;  // whether last_ holds a token
};

// All the tokens of a statement.
Tokens Lex(std::string_view sql, bool markers_allowed) {
  Tokens tokens;
  tokens.list.reserve(sql.size() / 4 + 1);
  auto keep = [&tokens](const Token& token) { tokens.list.push_back(token); };
  Lexer(sql, markers_allowed, tokens.unquoted, keep).Run();
  return tokens;
}

// Statements that define tables take no parameters: their numbers (column
// sizes) stay in the text. `first` is the statement's first token.
bool IsDefinition(const Token& first) {
  return IsWord(first, "create") || IsWord(first, "alter") || IsWord(first, "drop");
}
bool IsDefinition(const std::vector<Token>& tokens) {
  return !tokens.empty() && IsDefinition(tokens[0]);
}

// The row count of "select [distinct] top N" belongs to the shape: a number
// after `before_last` and `last`.
bool IsTopCount(const Token& before_last, const Token& last) {
  return IsWord(last, "top") && (IsWord(before_last, "select") || IsWord(before_last, "distinct") ||
                                 IsWord(before_last, "all"));
}

// A number of the text: whole numbers that fit are 32-bit integers.
Variant NumberValue(std::string_view text) {
  if (text.find_first_of(".eE") == std::string_view::npos) {
    int64_t whole = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (error == std::errc() && end == text.data() + text.size() &&
        whole <= std::numeric_limits<int32_t>::max()) {
      return Variant(static_cast<int32_t>(whole));
    }
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw Error("number out of range in query: " + std::string(text));
  }
  return Variant(value);
}

std::string QuotedText(std::string_view value) {
  std::string quoted = "'";
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// ---------------------------------------------------------------------------
// Translation

// A token of the key, or a parenthesized group of them, as a tree so that each
// select can be rewritten at its own parenthesis level.
struct Node {
  Token token;                 // for a group: the "(" token
  std::vector<Node> children;  // the tokens inside the parentheses of a group
  bool is_group = false;
};

// Parentheses nest far less deeply in any query of the host; the limit keeps
// a pathological text from exhausting the stack of the translator's recursion.
constexpr size_t kMaxNesting = 256;

// The tokens from `pos` to the closing parenthesis of a group `depth` levels
// deep (0: the whole statement, up to its end).
std::vector<Node> BuildTree(const std::vector<Token>& tokens, size_t& pos, size_t depth,
                            std::string_view key) {
  const bool nested = depth > 0;
  std::vector<Node> level;
  while (pos < tokens.size()) {
    const Token& token = tokens[pos++];
    if (IsSymbol(token, "(")) {
      if (depth == kMaxNesting) {
        throw Error("parentheses nested deeper than " + std::to_string(kMaxNesting) +
                    " levels in query: " + std::string(key.substr(0, 200)) + "...");
      }
      Node group{token, BuildTree(tokens, pos, depth + 1, key), true};
      level.push_back(std::move(group));
    } else if (IsSymbol(token, ")")) {
      if (!nested) throw Error("unbalanced ')' in query: " + std::string(key));
      return level;
    } else {
      level.push_back({token, {}, false});
    }
  }
  if (nested) throw Error("unclosed '(' in query: " + std::string(key));
  return level;
}

// One item of a level after translation: its SQL, and the key token it came
// from (none for a group), for recognizing keywords.
struct Piece {
  std::string sql;
  const Token* token = nullptr;
  // A derived table whose rows carry their recorded order as a helper column.
  bool recorded_order = false;

  bool IsWord(std::string_view lowered_word) const {
    return token != nullptr && db::IsWord(*token, lowered_word);
  }
  bool IsSymbol(std::string_view symbol) const {
    return token != nullptr && db::IsSymbol(*token, symbol);
  }
};

using Pieces = std::vector<Piece>;

// Where a select stands: as a source of rows (the statement itself, or a
// derived table after From, Join or a comma of a From list), or inside an
// expression (a scalar subquery, In, Exists), where it must keep its columns.
enum class SelectPlace { kRowSource, kExpression };

// Index of the first piece at or after `from` that is one of the lowered
// words, or `end` when there is none.
size_t FindWord(const Pieces& pieces, size_t from, size_t end,
                std::initializer_list<std::string_view> words) {
  for (size_t i = from; i < end; ++i) {
    for (std::string_view word : words) {
      if (pieces[i].IsWord(word)) return i;
    }
  }
  return end;
}

// Splits pieces[begin, end) at its commas.
std::vector<Pieces> SplitAtCommas(const Pieces& pieces, size_t begin, size_t end) {
  std::vector<Pieces> items(1);
  for (size_t i = begin; i < end; ++i) {
    if (pieces[i].IsSymbol(",")) {
      items.emplace_back();
    } else {
      items.back().push_back(pieces[i]);
    }
  }
  return items;
}

void Append(std::vector<std::string>& out, const Pieces& pieces) {
  for (const Piece& piece : pieces) out.push_back(piece.sql);
}

void AppendList(std::vector<std::string>& out, const std::vector<Pieces>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.push_back(",");
    Append(out, items[i]);
  }
}

// A name directly before a parenthesis calls a function or sizes a type
// ("sum(", "varchar(40)"); a keyword there opens a list or a subquery.
bool TakesArguments(std::string_view word) {
  static constexpr std::string_view kKeywords[] = {
      "all",  "and",    "any", "as",   "between", "by",    "distinct", "else", "exists",
      "from", "having", "in",  "is",   "join",    "like",  "not",      "on",   "or",
      "over", "select", "set", "some", "then",    "union", "values",   "when", "where"};
  if (word.empty() || !std::all_of(word.begin(), word.end(), IsWordPart)) return false;
  const std::string lowered = Lower(word);
  return std::find(std::begin(kKeywords), std::end(kKeywords), lowered) == std::end(kKeywords);
}

// The translated SQL, spaced for reading: no blank inside parentheses, around
// the point of a qualified name, before a comma or between a function and its
// arguments.
std::string JoinSql(const std::vector<std::string>& words) {
  std::string joined;
  std::string_view previous;
  for (const std::string& word : words) {
    const bool glued = joined.empty() || previous == "(" || previous == "." || word == "." ||
                       word == "," || word == ")" || (word[0] == '(' && TakesArguments(previous));
    if (!glued) joined += ' ';
    joined += word;
    previous = word;
  }
  return joined;
}

// The parts of one select at its own level.
struct SelectParts {
  size_t select_at = 0;
  bool distinct = false;
  std::optional<std::string> top;  // the row count of "top N"
  size_t list_begin = 0;           // the select list
  size_t list_end = 0;             // From, Where, ... or the Order By
  size_t order_at = 0;             // "order" of the Order By, or the level's end
};

class Translator {
 public:
  Translator(const QueryShape& shape, Dialect dialect) : shape_(shape), dialect_(dialect) {}

  std::string Run() {
    Tokens lexed = Lex(shape_.key, true);
    std::vector<Token>& tokens = lexed.list;
    if (!tokens.empty() && IsSymbol(tokens.back(), ";")) tokens.pop_back();
    const auto markers = std::count_if(tokens.begin(), tokens.end(),
                                       [](const Token& t) { return t.kind == TokenKind::kMarker; });
    if (static_cast<size_t>(markers) != shape_.params.size()) {
      throw Error("query has " + std::to_string(markers) + " value markers but " +
                  std::to_string(shape_.params.size()) + " values: " + shape_.key);
    }
    definition_ = IsDefinition(tokens);
    size_t pos = 0;
    const std::vector<Node> tree = BuildTree(tokens, pos, 0, shape_.key);
    return JoinSql(TranslateLevel(tree, SelectPlace::kRowSource));
  }

 private:
  bool Postgres() const { return dialect_ == Dialect::kPostgres; }

  std::vector<std::string> TranslateLevel(const std::vector<Node>& nodes, SelectPlace place) {
    Pieces pieces;
    // The clause that the pieces so far stand in: From, or one of the clauses
    // of expressions (none before any of them).
    SelectPlace clause = SelectPlace::kExpression;
    // Whether a "between" stands at this level: its "and" would take a
    // rewritten list's operand.
    bool between = false;
    for (size_t i = 0; i < nodes.size(); ++i) {
      const Node& node = nodes[i];
      if (node.token.kind == TokenKind::kSymbol && node.token.text == ";") {
        throw Error("more than one statement in query: " + shape_.key);
      }
      if (node.is_group && !Postgres() && !between && RewriteInList(nodes, i, pieces)) continue;
      between = between || IsWord(node.token, "between");
      if (node.is_group) {
        const SelectPlace inner = i == 0 ? place : PlaceAfter(pieces.back(), clause);
        Piece group{"(" + JoinSql(TranslateLevel(node.children, inner)) + ")", nullptr};
        group.recorded_order = level_recorded_;
        pieces.push_back(std::move(group));
      } else {
        pieces.push_back({TranslateToken(node.token), &node.token});
        clause = ClauseAfter(pieces.back(), clause);
        if (Postgres() && definition_ && pieces.back().IsWord("add") && NeedsColumnWord(nodes, i)) {
          pieces.push_back({"column", nullptr});
        }
      }
    }
    return RewriteSelect(pieces, place);
  }

  // SQLite builds a temporary index for the values of "x in (1, 2, 3)" each
  // time the statement runs, which costs more than the rest of a day-total
  // query; "(x = 1 or x = 2 or x = 3)" reads the same rows, nulls included,
  // without one. Rewrites the list at `list_at` when it holds only values and
  // the operand before "in" is a plain or qualified column that no operator
  // binds tighter; returns false, touching nothing, otherwise.
  bool RewriteInList(const std::vector<Node>& nodes, size_t list_at, Pieces& pieces) {
    if (list_at == 0 || pieces.empty() || !pieces.back().IsWord("in")) return false;
    const std::vector<Node>& list = nodes[list_at].children;
    if (list.size() % 2 == 0) return false;
    for (size_t at = 0; at < list.size(); ++at) {
      const TokenKind kind = list[at].token.kind;
      const bool value =
          !list[at].is_group &&
          (kind == TokenKind::kMarker || kind == TokenKind::kNumber || kind == TokenKind::kText);
      if (at % 2 == 0 ? !value : !IsSymbol(list[at].token, ",")) return false;
    }
    // pieces: ... [before] operand [not] in
    size_t end = pieces.size() - 1;  // the "in"
    const bool negated = end > 0 && pieces[end - 1].IsWord("not");
    if (negated) --end;
    auto is_name = [&pieces](size_t at) {
      const Token* token = pieces[at].token;
      return token && (token->kind == TokenKind::kBracketed ||
                       (token->kind == TokenKind::kWord && TakesArguments(token->text)));
    };
    if (end == 0 || !is_name(end - 1)) return false;
    size_t begin = end - 1;
    if (begin >= 2 && pieces[begin - 1].IsSymbol(".") && is_name(begin - 2)) begin -= 2;
    if (begin > 0) {
      const Piece& before = pieces[begin - 1];
      const bool loose = before.IsSymbol(",") || before.IsWord("where") || before.IsWord("and") ||
                         before.IsWord("or") || before.IsWord("on") || before.IsWord("having") ||
                         before.IsWord("when") || before.IsWord("then") || before.IsWord("else") ||
                         before.IsWord("select");
      if (!loose) return false;
    }
    std::vector<std::string> operand;
    for (size_t at = begin; at < end; ++at) operand.push_back(pieces[at].sql);
    const std::string column = JoinSql(operand);

    std::string chain;
    for (size_t at = 0; at < list.size(); at += 2) {
      if (!chain.empty()) chain += " or ";
      chain += column + " = " + TranslateToken(list[at].token);
    }
    pieces.resize(begin);
    pieces.push_back({negated ? "(not (" + chain + "))" : "(" + chain + ")", nullptr});
    return true;
  }

  // "alter table t add x type" needs the word "column" in PostgreSQL.
  static bool NeedsColumnWord(const std::vector<Node>& nodes, size_t add_at) {
    if (add_at + 1 >= nodes.size()) return false;
    const Token& next = nodes[add_at + 1].token;
    for (std::string_view word :
         {"column", "constraint", "primary", "unique", "foreign", "check"}) {
      if (IsWord(next, word)) return false;
    }
    return true;
  }

  // The clause of a level after `piece`, in `clause` before it.
  static SelectPlace ClauseAfter(const Piece& piece, SelectPlace clause) {
    if (piece.IsWord("from")) return SelectPlace::kRowSource;
    for (std::string_view word : {"select", "where", "on", "group", "having", "order"}) {
      if (piece.IsWord(word)) return SelectPlace::kExpression;
    }
    return clause;
  }

  // The place of a parenthesized select that follows `last` at one level, in
  // `clause`: after From or Join a source of rows, after a comma the place of
  // the clause's other items.
  static SelectPlace PlaceAfter(const Piece& last, SelectPlace clause) {
    if (last.IsWord("from") || last.IsWord("join")) return SelectPlace::kRowSource;
    if (!last.IsSymbol(",")) return SelectPlace::kExpression;
    return clause;
  }

  std::string TranslateToken(const Token& token) {
    switch (token.kind) {
      case TokenKind::kWord: {
        const std::string lowered = Lower(token.text);
        if (lowered == "ltrim") return lowered;
        if (Postgres()) return definition_ && lowered == "float" ? "double precision" : lowered;
        return std::string(token.text);
      }
      case TokenKind::kBracketed: {
        if (!Postgres()) return std::string(token.text);
        std::string quoted = "\"";
        for (char c : Lower(token.text.substr(1, token.text.size() - 2))) {
          quoted += c;
          if (c == '"') quoted += '"';
        }
        return quoted + "\"";
      }
      case TokenKind::kText:
        return QuotedText(token.text);
      case TokenKind::kMarker:
        return Marker(++markers_seen_);
      case TokenKind::kDate:
        throw Error("date literal #" + std::string(token.text) +
                    "# left in a query shape: " + shape_.key);
      case TokenKind::kNumber:
      case TokenKind::kSymbol:
        break;
    }
    return std::string(token.text);
  }

  // The marker of the value with the 1-based `number`. PostgreSQL gets the
  // value's type with it: an untyped marker after a unary minus, or with
  // nothing beside it that fixes its type, is ambiguous to its planner, and an
  // integer stays an integer so that a code compared with an integer column
  // can use the column's index. The type comes from the value, so a key whose
  // values change kind (a code written once as 12, once as 12.5) gives a
  // different PostgreSQL text; the host's queries keep the kind of each value.
  std::string Marker(size_t number) const {
    if (!Postgres()) return "?" + std::to_string(number);
    const std::string marker = "$" + std::to_string(number);
    switch (shape_.params[number - 1].type()) {
      case VariantType::kInt16:
      case VariantType::kInt32:
        return marker + "::integer";
      case VariantType::kDouble:
        return marker + "::double precision";
      case VariantType::kDate:
        return marker + "::date";
      case VariantType::kText:
        return marker + "::text";
      default:
        return marker;
    }
  }

  // Finds the select of a level and its parts; nullopt when the level has none.
  std::optional<SelectParts> FindSelect(const Pieces& pieces) const {
    SelectParts parts;
    parts.select_at = FindWord(pieces, 0, pieces.size(), {"select"});
    if (parts.select_at == pieces.size()) return std::nullopt;
    if (FindWord(pieces, parts.select_at, pieces.size(), {"union"}) != pieces.size()) {
      return std::nullopt;
    }
    size_t i = parts.select_at + 1;
    if (i < pieces.size() && (pieces[i].IsWord("distinct") || pieces[i].IsWord("all"))) {
      parts.distinct = pieces[i].IsWord("distinct");
      ++i;
    }
    if (i + 1 < pieces.size() && pieces[i].IsWord("top") && pieces[i + 1].token != nullptr &&
        pieces[i + 1].token->kind == TokenKind::kNumber) {
      const std::string& count = pieces[i + 1].sql;
      int64_t rows = 0;
      const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), rows);
      if (error != std::errc() || end != count.data() + count.size() || rows < 1) {
        throw Error("top needs a positive whole number of rows, not " + count +
                    ", in query: " + shape_.key);
      }
      if (i + 2 < pieces.size() && pieces[i + 2].IsWord("percent")) {
        throw Error("top " + count + " percent is not supported, in query: " + shape_.key);
      }
      parts.top = count;
      i += 2;
    }
    parts.list_begin = i;
    parts.order_at = pieces.size();
    for (size_t j = i; j + 1 < pieces.size(); ++j) {
      if (pieces[j].IsWord("order") && pieces[j + 1].IsWord("by")) {
        parts.order_at = j;
        break;
      }
    }
    parts.list_end =
        FindWord(pieces, i, parts.order_at, {"from", "where", "group", "having", "into"});
    return parts;
  }

  std::vector<std::string> RewriteSelect(const Pieces& pieces, SelectPlace place) {
    std::vector<std::string> out;
    level_recorded_ = false;
    const std::optional<SelectParts> found = FindSelect(pieces);
    if (!found) {
      Append(out, pieces);
      return out;
    }
    const SelectParts& parts = *found;
    bool ordered = parts.order_at < pieces.size();
    std::vector<Pieces> keys;
    if (ordered) keys = SplitAtCommas(pieces, parts.order_at + 2, pieces.size());
    if (!ordered && !parts.top) {
      // A grouped list comes out in the order of its groups, as a company
      // file gives it (the server hashes groups in no order): a voucher's
      // items are walked in that order.
      const size_t group_at = FindWord(pieces, parts.list_end, pieces.size(), {"group"});
      if (group_at + 1 < pieces.size() && pieces[group_at + 1].IsWord("by")) {
        const size_t having_at = FindWord(pieces, group_at, pieces.size(), {"having"});
        keys = SplitAtCommas(pieces, group_at + 2, having_at);
        ordered = true;
      }
    }
    if (Postgres()) {
      for (Pieces& key : keys) AddNullsPlacement(key);
    }
    const Pieces prefix(pieces.begin(), pieces.begin() + parts.select_at);
    const Pieces head(pieces.begin() + parts.select_at,
                      pieces.begin() + parts.select_at + 1 + parts.distinct);
    const Pieces list(pieces.begin() + parts.list_begin, pieces.begin() + parts.list_end);
    const Pieces rest(pieces.begin() + parts.list_end, pieces.begin() + parts.order_at);

    Append(out, prefix);
    if (!parts.top && RewriteInRecordedOrder(parts, head, list, rest, keys, ordered, out)) {
      return out;
    }
    if (ordered && parts.top && !Postgres()) {
      AppendRankedSelect(out, parts, head, list, rest, keys, place);
      return out;
    }
    Append(out, head);
    Append(out, list);
    Append(out, rest);
    if (ordered) {
      out.insert(out.end(), {"order", "by"});
      AppendList(out, keys);
    }
    if (parts.top) {
      if (ordered) {
        out.insert(out.end(), {"fetch", "first", *parts.top, "rows", "with", "ties"});
      } else {
        out.insert(out.end(), {"limit", *parts.top});
      }
    }
    return out;
  }

  // A host table's rows that tie on a list's Order By come out in the order
  // in which they were recorded, on a company file and on the server alike:
  // a walk names the first challan of a day, and a bill made again must name
  // the same. A distinct list of plain columns from one host table becomes a
  // grouped one that carries each row's first recorded place as a helper
  // column and is ordered by it after its own keys; a list ordered from such
  // a derived table, or from a host table itself, is ordered by it last.
  // Returns false, writing nothing, for any other select (and for "top N",
  // whose ties all belong to it).
  bool RewriteInRecordedOrder(const SelectParts& parts, const Pieces& head, const Pieces& list,
                              const Pieces& rest, std::vector<Pieces> keys, bool ordered,
                              std::vector<std::string>& out) {
    const std::string helper(kRecordedOrderColumn);
    const std::string recorded = Postgres() ? helper : "rowid";
    const Source source = SourceOf(rest);
    if (source == Source::kOther) return false;
    if (parts.distinct) {
      std::vector<Pieces> columns;
      if (source != Source::kHostTable || !PlainColumns(list, columns)) return false;
      Append(out, head.size() > 1 ? Pieces(head.begin(), head.end() - 1) : head);
      Append(out, list);
      out.insert(out.end(), {",", "min", "(", recorded, ")", "as", helper});
      Append(out, rest);
      out.insert(out.end(), {"group", "by"});
      AppendList(out, columns);
      if (ordered) {
        out.insert(out.end(), {"order", "by"});
        AppendList(out, keys);
        out.insert(out.end(), {",", helper});
      }
      level_recorded_ = true;
      return true;
    }
    if (!ordered) return false;
    if (source == Source::kRecordedDerivedTable) {
      if (!(list.size() == 1 && list[0].IsSymbol("*"))) return false;
      keys.push_back({{helper, nullptr}});
    } else {
      for (const Piece& piece : list) {
        for (std::string_view aggregate : {"sum", "count", "min", "max", "avg"}) {
          if (piece.IsWord(aggregate)) return false;
        }
      }
      keys.push_back({{recorded, nullptr}});
    }
    Append(out, head);
    Append(out, list);
    Append(out, rest);
    out.insert(out.end(), {"order", "by"});
    AppendList(out, keys);
    return true;
  }

  // What a select reads its rows from, as far as their recorded order goes.
  enum class Source { kHostTable, kRecordedDerivedTable, kOther };

  // "from T [[as] alias] [where ...]": one host table, or one derived table
  // that carries its rows' recorded order; no grouping, no join.
  static Source SourceOf(const Pieces& rest) {
    if (rest.size() < 2 || !rest[0].IsWord("from")) return Source::kOther;
    size_t end = FindWord(rest, 1, rest.size(), {"where"});
    for (size_t i = 1; i < rest.size(); ++i) {
      if (rest[i].IsWord("group") || rest[i].IsWord("having") || rest[i].IsWord("join") ||
          rest[i].IsWord("union") || (i < end && rest[i].IsSymbol(","))) {
        return Source::kOther;
      }
    }
    size_t alias = 2;
    if (alias < end && rest[alias].IsWord("as")) ++alias;
    if (alias + 1 < end || (alias < end && !IsName(rest[alias]))) return Source::kOther;
    if (rest[1].recorded_order) return Source::kRecordedDerivedTable;
    if (!IsName(rest[1])) return Source::kOther;
    static constexpr std::string_view kHostTables[] = {"tran1",    "tran2",        "tran3",
                                                       "itemdesc", "vchotherinfo", "master1"};
    const std::string table = Lower(rest[1].token->text);
    return std::find(std::begin(kHostTables), std::end(kHostTables), table) != std::end(kHostTables)
               ? Source::kHostTable
               : Source::kOther;
  }

  static bool IsName(const Piece& piece) {
    return piece.token && piece.token->kind == TokenKind::kWord &&
           TakesArguments(piece.token->text);
  }

  // The columns of a select list of plain or qualified columns, each maybe
  // named "as" another, without those names; false for any other list.
  static bool PlainColumns(const Pieces& list, std::vector<Pieces>& columns) {
    for (Pieces item : SplitAtCommas(list, 0, list.size())) {
      if (item.size() >= 3 && item[item.size() - 2].IsWord("as")) item.resize(item.size() - 2);
      auto column = [](const Piece& piece) {
        return IsName(piece) || (piece.token && piece.token->kind == TokenKind::kBracketed);
      };
      const bool plain =
          (item.size() == 1 && column(item[0])) ||
          (item.size() == 3 && IsName(item[0]) && item[1].IsSymbol(".") && column(item[2]));
      if (!plain) return false;
      columns.push_back(std::move(item));
    }
    return !columns.empty();
  }

  // The host's database sorts nulls lowest; PostgreSQL sorts them highest.
  static void AddNullsPlacement(Pieces& key) {
    const size_t n = key.size();
    if (n >= 2 && key[n - 2].IsWord("nulls")) return;
    const bool descending = n > 0 && key[n - 1].IsWord("desc");
    key.push_back({"nulls", nullptr});
    key.push_back({descending ? "last" : "first", nullptr});
  }

  // "top N ... order by K" for SQLite: every row that ranks within the first N
  // on the order keys, so that rows tied with the Nth come along as the host's
  // database returns them. The rank is computed over the distinct rows when
  // the select is distinct, and the rows come out ordered by it, which is the
  // order of the keys.
  void AppendRankedSelect(std::vector<std::string>& sql, const SelectParts& parts,
                          const Pieces& head, const Pieces& list, const Pieces& rest,
                          const std::vector<Pieces>& keys, SelectPlace place) const {
    const std::string rank = std::string(kHelperColumnPrefix) + "rank";
    const std::string order = std::string(kHelperColumnPrefix) + "order";
    const std::string value = std::string(kHelperColumnPrefix) + "value";
    std::vector<Pieces> items = SplitAtCommas(list, 0, list.size());
    // Inside an expression the select must keep its single column: its value
    // is carried under a helper name and picked out again.
    const bool single_value = place == SelectPlace::kExpression && items.size() == 1 &&
                              !(list.size() == 1 && list[0].IsSymbol("*"));
    if (single_value) {
      Pieces& item = items[0];
      if (item.size() >= 3 && item[item.size() - 2].IsWord("as")) item.resize(item.size() - 2);
      item.push_back({"as", nullptr});
      item.push_back({value, nullptr});
    }

    std::vector<std::string> out = {"select", single_value ? value : "*", "from", "("};
    Append(out, head);
    AppendList(out, items);
    out.insert(out.end(),
               {",", parts.distinct ? "dense_rank()" : "rank()", "over", "(", "order", "by"});
    AppendList(out, keys);
    out.insert(out.end(), {")", "as", parts.distinct ? order : rank});
    Append(out, rest);
    out.push_back(")");
    if (parts.distinct) {
      // Rank the distinct rows by their dense position in the key order.
      std::vector<std::string> ranked = {"select", "*",   ",", "rank()", "over", "(",   "order",
                                         "by",     order, ")", "as",     rank,   "from"};
      ranked.insert(ranked.end(), out.begin() + 3, out.end());
      out = {"select", single_value ? value : "*", "from", "("};
      out.insert(out.end(), ranked.begin(), ranked.end());
      out.push_back(")");
    }
    out.insert(out.end(), {"where", rank, "<=", *parts.top, "order", "by", rank});
    sql.insert(sql.end(), out.begin(), out.end());
  }

  const QueryShape& shape_;
  Dialect dialect_;
  bool definition_ = false;
  size_t markers_seen_ = 0;
  // Whether the select last rewritten carries its rows' recorded order.
  bool level_recorded_ = false;
};

}  // namespace

QueryShape ShapeQuery(std::string_view host_sql) {
  QueryShape shape;
  // The key is written into a buffer as long as it can get: no token grows
  // past its text in the query, and each takes at most one blank before it.
  std::string key(2 * host_sql.size() + 1, ' ');
  size_t length = 0;
  auto append = [&key, &length](std::string_view word) {
    if (length > 0) ++length;  // the blank is there already
    if (length + word.size() > key.size()) key.resize(2 * (length + word.size()), ' ');
    word.copy(key.data() + length, word.size());
    length += word.size();
  };
  bool definition = false;
  size_t count = 0;
  Token before_last{TokenKind::kSymbol, {}};
  Token last{TokenKind::kSymbol, {}};
  auto take = [&](const Token& token) {
    if (count++ == 0) definition = IsDefinition(token);
    switch (token.kind) {
      case TokenKind::kNumber:
        if (definition || (count >= 3 && IsTopCount(before_last, last))) {
          append(token.text);
        } else {
          shape.params.push_back(NumberValue(token.text));
          append("?");
        }
        break;
      case TokenKind::kText:
        if (definition) {
          append(QuotedText(token.text));
        } else {
          shape.params.emplace_back(std::string(token.text));
          append("?");
        }
        break;
      case TokenKind::kDate: {
        const std::string literal = "#" + std::string(token.text) + "#";
        if (token.text.empty()) {
          throw Error("empty date literal ## in query: " + std::string(host_sql));
        }
        const std::optional<Date> date = ParseDateText(token.text);
        if (!date) throw Error("date literal " + literal + " is not a date");
        if (definition) throw Error("date literal " + literal + " in a table definition");
        shape.params.emplace_back(*date);
        append("?");
        break;
      }
      default:
        append(token.text);
    }
    before_last = last;
    last = token;
  };
  std::forward_list<std::string> unquoted;
  Lexer(host_sql, false, unquoted, take).Run();
  key.resize(length);
  shape.key = std::move(key);
  return shape;
}

std::string TranslateShape(const QueryShape& shape, Dialect dialect) {
  return Translator(shape, dialect).Run();
}

}  // namespace rnt::db
