#include "platform/store/expr.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sqlite3.h>

#include "platform/core/field.h"
#include "platform/core/strings.h"
#include "platform/store/bind.h"
#include "platform/store/sql_functions.h"

namespace pf {

// ---------------------------------------------------------------- values

namespace {

double parseNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  std::size_t from = i;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  std::string_view num = s.substr(from, i - from);
  if (!num.empty() && num[0] == '+') num.remove_prefix(1);
  double v = 0;
  std::from_chars(num.data(), num.data() + num.size(), v);
  return v;
}

std::string formatNumber(double n) {
  char buf[64];
  if (std::isfinite(n) && n == std::floor(n) && std::fabs(n) < 1e18)
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
  else
    std::snprintf(buf, sizeof buf, "%.15g", n);
  return buf;
}

std::string leftJustify(std::string_view s) {
  std::string r = left(s);
  r.resize(s.size(), ' ');
  return r;
}

std::string leftJustify(std::string_view s, double n) {
  if (!(n >= 1)) return {};
  return padRight(left(s), static_cast<std::size_t>(std::min(n, 1e6)));
}

std::string subText(std::string_view s, double start, double len) {
  return sub(s, static_cast<int>(std::clamp(start, -1e9, 1e9)), static_cast<int>(std::clamp(len, -1e9, 1e9)));
}

double instringOf(std::string_view needle, std::string_view s, double step, double start) {
  return instring(needle, s, static_cast<int>(std::clamp(step, -1e9, 1e9)),
                  static_cast<int>(std::clamp(start, -1e9, 1e9)));
}

double divide(double a, double b) { return b == 0 ? 0 : a / b; }
double modulo(double a, double b) { return b == 0 ? 0 : std::fmod(a, b); }

}  // namespace

bool ExprValue::truth() const { return isText ? !isBlank(text) : number != 0; }
double ExprValue::toNumber() const { return isText ? parseNumber(text) : number; }
std::string ExprValue::toText() const { return isText ? text : formatNumber(number); }

int compareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c;
  std::string_view rest = a.size() > n ? a.substr(n) : b.substr(n);
  int sign = a.size() > n ? 1 : -1;
  for (unsigned char ch : rest)
    if (ch != ' ') return ch < ' ' ? -sign : sign;
  return 0;
}

ExprValue readValue(FieldType type, const void* address, std::size_t size) {
  const auto* p = static_cast<const char*>(address);
  switch (type) {
    case FieldType::String: return ExprValue::ofText(std::string(p, size));
    case FieldType::CString:
    case FieldType::Memo: return ExprValue::ofText(std::string(p, strnlen(p, size)));
    case FieldType::Byte: return ExprValue::ofNumber(static_cast<unsigned char>(p[0]));
    case FieldType::Long: return ExprValue::ofNumber(reinterpret_cast<const Long*>(p)->get());
    case FieldType::Time: return ExprValue::ofNumber(reinterpret_cast<const Time*>(p)->get());
    case FieldType::Date: return ExprValue::ofNumber(reinterpret_cast<const Date*>(p)->get());
  }
  return {};
}

// ---------------------------------------------------------------- tree

enum class Op {
  Literal, Field, Bound,
  Neg, Not,
  Add, Sub, Mul, Div, Mod, Cat,
  Eq, Ne, Lt, Gt, Le, Ge,
  And, Or, Xor,
  Clip, Left, Upper, Lower, SubStr, Instring, Len,
};

struct ExprNode {
  Op op = Op::Literal;
  bool isText = false;                 // static type of the result
  ExprValue literal;                   // Literal; a frozen Bound value
  const FieldDesc* field = nullptr;    // Field
  int fieldIndex = -1;
  std::string name;                    // Bound
  int param = -1;                      // SQL parameter number (Literal, Bound)
  int depth = 1;                       // levels from here to the deepest leaf
  std::vector<std::unique_ptr<ExprNode>> kids;
};

namespace {

bool textType(FieldType t) {
  return t == FieldType::String || t == FieldType::CString || t == FieldType::Memo;
}

struct FunctionInfo {
  const char* name;
  Op op;
  int minArgs, maxArgs;
  bool text;
};

const FunctionInfo kFunctions[] = {
    {"CLIP", Op::Clip, 1, 1, true},         {"LEFT", Op::Left, 1, 2, true},
    {"UPPER", Op::Upper, 1, 1, true},       {"LOWER", Op::Lower, 1, 1, true},
    {"SUB", Op::SubStr, 2, 3, true},        {"INSTRING", Op::Instring, 2, 4, false},
    {"LEN", Op::Len, 1, 1, false},
};

// ---------------------------------------------------------------- parser

struct Token {
  enum Kind { End, Number, String, Name, Sym } kind = End;
  std::string text;   // symbol, name (as written), string contents
  double number = 0;
  std::size_t at = 0;
};

class Parser {
 public:
  Parser(const std::string& text, const FileDesc* file) : s_(text), file_(file) {}

  std::unique_ptr<ExprNode> parseAll() {
    advance();
    auto n = parseOr();
    if (!n) return nullptr;
    if (tok_.kind != Token::End) return fail("unexpected '" + tok_.text + "'");
    return n;
  }
  const std::string& error() const { return error_; }

 private:
  std::unique_ptr<ExprNode> fail(const std::string& msg) {
    if (error_.empty()) error_ = msg + " at position " + std::to_string(tok_.at + 1);
    return nullptr;
  }

  std::unique_ptr<ExprNode> tooDeep() {
    return fail("expression nested more than " + std::to_string(MaxExpressionDepth) + " levels deep");
  }

  // One level more of the parser's own recursion for as long as it lives.
  struct Level {
    Parser& p;
    explicit Level(Parser& parser) : p(parser) { ++p.depth_; }
    ~Level() { --p.depth_; }
    bool tooDeep() const { return p.depth_ > MaxExpressionDepth; }
  };

  // A node made from its operands is one level deeper than the deepest of them.
  std::unique_ptr<ExprNode> deepened(std::unique_ptr<ExprNode> n) {
    for (const auto& k : n->kids) n->depth = std::max(n->depth, k->depth + 1);
    if (n->depth > MaxExpressionDepth) return tooDeep();
    return n;
  }

  void advance() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    tok_ = Token{};
    tok_.at = i_;
    if (i_ >= s_.size()) return;
    char c = s_[i_];
    if (c == '\'') {
      std::string v;
      ++i_;
      for (;;) {
        if (i_ >= s_.size()) { tok_.kind = Token::Sym; tok_.text = "'"; bad_ = true; return; }
        if (s_[i_] == '\'') {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') { v += '\''; i_ += 2; continue; }
          ++i_;
          break;
        }
        v += s_[i_++];
      }
      tok_.kind = Token::String;
      tok_.text = std::move(v);
      return;
    }
    if ((c >= '0' && c <= '9') || (c == '.' && i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9')) {
      std::size_t from = i_;
      while (i_ < s_.size() && ((s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '.')) ++i_;
      tok_.kind = Token::Number;
      tok_.text = s_.substr(from, i_ - from);
      tok_.number = parseNumber(tok_.text);
      return;
    }
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
      std::size_t from = i_;
      while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' || s_[i_] == ':')) ++i_;
      tok_.kind = Token::Name;
      tok_.text = s_.substr(from, i_ - from);
      return;
    }
    static const char* kTwo[] = {"<>", "<=", ">=", "=<", "=>", "~=", "~<", "~>", "&="};
    for (const char* t : kTwo)
      if (s_.compare(i_, 2, t) == 0) {
        tok_.kind = Token::Sym;
        tok_.text = t;
        i_ += 2;
        return;
      }
    tok_.kind = Token::Sym;
    tok_.text = std::string(1, c);
    ++i_;
  }

  bool isSym(const char* t) const { return tok_.kind == Token::Sym && tok_.text == t; }
  bool isWord(const char* w) const { return tok_.kind == Token::Name && upper(tok_.text) == w; }

  std::unique_ptr<ExprNode> make(Op op, bool text, std::unique_ptr<ExprNode> a,
                                 std::unique_ptr<ExprNode> b = nullptr) {
    auto n = std::make_unique<ExprNode>();
    n->op = op;
    n->isText = text;
    n->kids.push_back(std::move(a));
    if (b) n->kids.push_back(std::move(b));
    return deepened(std::move(n));
  }

  std::unique_ptr<ExprNode> parseOr() {
    auto a = parseAnd();
    while (a && (isWord("OR") || isWord("XOR"))) {
      Op op = isWord("OR") ? Op::Or : Op::Xor;
      advance();
      auto b = parseAnd();
      if (!b) return nullptr;
      a = make(op, false, std::move(a), std::move(b));
    }
    return a;
  }

  std::unique_ptr<ExprNode> parseAnd() {
    auto a = parseNot();
    while (a && isWord("AND")) {
      advance();
      auto b = parseNot();
      if (!b) return nullptr;
      a = make(Op::And, false, std::move(a), std::move(b));
    }
    return a;
  }

  std::unique_ptr<ExprNode> parseNot() {
    if (isWord("NOT") || isSym("~")) {
      Level level(*this);
      if (level.tooDeep()) return tooDeep();
      advance();
      auto a = parseNot();
      if (!a) return nullptr;
      return make(Op::Not, false, std::move(a));
    }
    return parseCompare();
  }

  std::unique_ptr<ExprNode> parseCompare() {
    auto a = parseCat();
    if (!a) return nullptr;
    struct { const char* sym; Op op; } static const kRel[] = {
        {"=", Op::Eq},  {"&=", Op::Eq}, {"<>", Op::Ne}, {"~=", Op::Ne}, {"<", Op::Lt},
        {">", Op::Gt},  {"<=", Op::Le}, {"=<", Op::Le}, {">=", Op::Ge}, {"=>", Op::Ge},
        {"~<", Op::Ge}, {"~>", Op::Le}};
    for (const auto& r : kRel)
      if (isSym(r.sym)) {
        advance();
        auto b = parseCat();
        if (!b) return nullptr;
        return make(r.op, false, std::move(a), std::move(b));
      }
    return a;
  }

  std::unique_ptr<ExprNode> parseCat() {
    auto a = parseAdd();
    while (a && isSym("&")) {
      advance();
      auto b = parseAdd();
      if (!b) return nullptr;
      a = make(Op::Cat, true, std::move(a), std::move(b));
    }
    return a;
  }

  std::unique_ptr<ExprNode> parseAdd() {
    auto a = parseMul();
    while (a && (isSym("+") || isSym("-"))) {
      Op op = isSym("+") ? Op::Add : Op::Sub;
      advance();
      auto b = parseMul();
      if (!b) return nullptr;
      a = make(op, false, std::move(a), std::move(b));
    }
    return a;
  }

  std::unique_ptr<ExprNode> parseMul() {
    auto a = parseUnary();
    while (a && (isSym("*") || isSym("/") || isSym("%"))) {
      Op op = isSym("*") ? Op::Mul : isSym("/") ? Op::Div : Op::Mod;
      advance();
      auto b = parseUnary();
      if (!b) return nullptr;
      a = make(op, false, std::move(a), std::move(b));
    }
    return a;
  }

  std::unique_ptr<ExprNode> parseUnary() {
    if (isSym("-") || isSym("+")) {
      Level level(*this);
      if (level.tooDeep()) return tooDeep();
      bool neg = isSym("-");
      advance();
      auto a = parseUnary();
      if (!a) return nullptr;
      if (!neg) return make(Op::Add, false, std::move(a), literal(ExprValue::ofNumber(0)));
      return make(Op::Neg, false, std::move(a));
    }
    return parsePrimary();
  }

  static std::unique_ptr<ExprNode> literal(ExprValue v) {
    auto n = std::make_unique<ExprNode>();
    n->op = Op::Literal;
    n->isText = v.isText;
    n->literal = std::move(v);
    return n;
  }

  std::unique_ptr<ExprNode> parsePrimary() {
    if (bad_) return fail("unterminated text");
    switch (tok_.kind) {
      case Token::End: return fail("expression ends too soon");
      case Token::Number: {
        auto n = literal(ExprValue::ofNumber(tok_.number));
        advance();
        return n;
      }
      case Token::String: {
        auto n = literal(ExprValue::ofText(tok_.text));
        advance();
        return n;
      }
      case Token::Sym:
        if (isSym("(")) {
          Level level(*this);
          if (level.tooDeep()) return tooDeep();
          advance();
          auto n = parseOr();
          if (!n) return nullptr;
          if (!isSym(")")) return fail("')' expected");
          advance();
          return n;
        }
        return fail("unexpected '" + tok_.text + "'");
      case Token::Name: break;
    }
    std::string name = tok_.text;
    std::size_t at = tok_.at;
    advance();
    if (isSym("(")) return parseCall(name, at);
    return resolveName(name, at);
  }

  std::unique_ptr<ExprNode> parseCall(const std::string& name, std::size_t at) {
    const FunctionInfo* fn = nullptr;
    std::string up = upper(name);
    for (const auto& f : kFunctions)
      if (up == f.name) fn = &f;
    if (!fn) {
      tok_.at = at;
      return fail("unknown function " + name);
    }
    Level level(*this);
    if (level.tooDeep()) return tooDeep();
    advance();  // '('
    auto n = std::make_unique<ExprNode>();
    n->op = fn->op;
    n->isText = fn->text;
    if (!isSym(")")) {
      for (;;) {
        auto a = parseOr();
        if (!a) return nullptr;
        n->kids.push_back(std::move(a));
        if (isSym(",")) { advance(); continue; }
        break;
      }
    }
    if (!isSym(")")) return fail("')' expected");
    advance();
    int count = static_cast<int>(n->kids.size());
    if (count < fn->minArgs || count > fn->maxArgs) {
      tok_.at = at;
      return fail("wrong number of arguments to " + up);
    }
    return deepened(std::move(n));
  }

  std::unique_ptr<ExprNode> resolveName(const std::string& name, std::size_t at) {
    auto n = std::make_unique<ExprNode>();
    if (file_) {
      int i = file_->fieldIndex(name);
      if (i >= 0) {
        n->op = Op::Field;
        n->field = &file_->fields[static_cast<std::size_t>(i)];
        n->fieldIndex = i;
        n->isText = textType(n->field->type);
        return n;
      }
    }
    const BoundValue* b = findBound(name);
    if (!b) {
      tok_.at = at;
      return fail("unknown name " + name);
    }
    n->op = Op::Bound;
    n->name = name;
    n->isText = textType(b->type);
    return n;
  }

  const std::string& s_;
  const FileDesc* file_;
  std::size_t i_ = 0;
  Token tok_;
  bool bad_ = false;
  int depth_ = 0;
  std::string error_;
};

void collect(ExprNode* n, std::vector<ExprNode*>& params, std::vector<ExprNode*>& bound) {
  if (n->op == Op::Literal || n->op == Op::Bound) {
    n->param = static_cast<int>(params.size());
    params.push_back(n);
    if (n->op == Op::Bound) bound.push_back(n);
  }
  for (auto& k : n->kids) collect(k.get(), params, bound);
}

ExprValue asType(ExprValue v, bool text) {
  if (text && !v.isText) return ExprValue::ofText(v.toText());
  if (!text && v.isText) return ExprValue::ofNumber(v.toNumber());
  return v;
}

// ---------------------------------------------------------------- evaluation

ExprValue eval(const ExprNode& n, const char* buf, bool frozen);

std::string evalText(const ExprNode& n, const char* buf, bool frozen) { return eval(n, buf, frozen).toText(); }
double evalNum(const ExprNode& n, const char* buf, bool frozen) { return eval(n, buf, frozen).toNumber(); }

ExprValue eval(const ExprNode& n, const char* buf, bool frozen) {
  auto arg = [&](std::size_t i) -> const ExprNode& { return *n.kids[i]; };
  auto num = [](double d) { return ExprValue::ofNumber(d); };
  auto txt = [](std::string s) { return ExprValue::ofText(std::move(s)); };
  switch (n.op) {
    case Op::Literal: return n.literal;
    case Op::Field: return readValue(n.field->type, buf + n.field->offset, n.field->size);
    case Op::Bound: {
      if (frozen) return n.literal;
      const BoundValue* b = findBound(n.name);
      if (!b) return asType(ExprValue{}, n.isText);
      return asType(readValue(b->type, b->address, b->size), n.isText);
    }
    case Op::Neg: return num(-evalNum(arg(0), buf, frozen));
    case Op::Not: return num(eval(arg(0), buf, frozen).truth() ? 0 : 1);
    case Op::Add: return num(evalNum(arg(0), buf, frozen) + evalNum(arg(1), buf, frozen));
    case Op::Sub: return num(evalNum(arg(0), buf, frozen) - evalNum(arg(1), buf, frozen));
    case Op::Mul: return num(evalNum(arg(0), buf, frozen) * evalNum(arg(1), buf, frozen));
    case Op::Div: return num(divide(evalNum(arg(0), buf, frozen), evalNum(arg(1), buf, frozen)));
    case Op::Mod: return num(modulo(evalNum(arg(0), buf, frozen), evalNum(arg(1), buf, frozen)));
    case Op::Cat: return txt(evalText(arg(0), buf, frozen) + evalText(arg(1), buf, frozen));
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: {
      ExprValue a = eval(arg(0), buf, frozen), b = eval(arg(1), buf, frozen);
      int c;
      if (a.isText && b.isText) {
        c = compareText(a.text, b.text);
      } else {
        double x = a.toNumber(), y = b.toNumber();
        c = x < y ? -1 : x > y ? 1 : 0;
      }
      bool r = n.op == Op::Eq ? c == 0 : n.op == Op::Ne ? c != 0 : n.op == Op::Lt ? c < 0
             : n.op == Op::Gt ? c > 0 : n.op == Op::Le ? c <= 0 : c >= 0;
      return num(r ? 1 : 0);
    }
    case Op::And: return num(eval(arg(0), buf, frozen).truth() && eval(arg(1), buf, frozen).truth() ? 1 : 0);
    case Op::Or: return num(eval(arg(0), buf, frozen).truth() || eval(arg(1), buf, frozen).truth() ? 1 : 0);
    case Op::Xor: return num(eval(arg(0), buf, frozen).truth() != eval(arg(1), buf, frozen).truth() ? 1 : 0);
    case Op::Clip: return txt(clip(evalText(arg(0), buf, frozen)));
    case Op::Left:
      if (n.kids.size() == 1) return txt(leftJustify(evalText(arg(0), buf, frozen)));
      return txt(leftJustify(evalText(arg(0), buf, frozen), evalNum(arg(1), buf, frozen)));
    case Op::Upper: return txt(upper(evalText(arg(0), buf, frozen)));
    case Op::Lower: return txt(lower(evalText(arg(0), buf, frozen)));
    case Op::SubStr:
      return txt(subText(evalText(arg(0), buf, frozen), evalNum(arg(1), buf, frozen),
                         n.kids.size() > 2 ? evalNum(arg(2), buf, frozen) : 1e9));
    case Op::Instring:
      return num(instringOf(evalText(arg(0), buf, frozen), evalText(arg(1), buf, frozen),
                            n.kids.size() > 2 ? evalNum(arg(2), buf, frozen) : 1,
                            n.kids.size() > 3 ? evalNum(arg(3), buf, frozen) : 1));
    case Op::Len: return num(static_cast<double>(evalText(arg(0), buf, frozen).size()));
  }
  return {};
}

// ---------------------------------------------------------------- SQL

struct SqlWriter {
  const std::vector<std::string>& columns;
  const std::string& prefix;
  const std::vector<std::string>* folds;
  std::vector<std::string>* used;

  const std::string& column(const std::string& c) const {
    if (used && std::find(used->begin(), used->end(), c) == used->end()) used->push_back(c);
    return c;
  }
  // The folded copy of the field under UPPER(field), when there is one.
  const std::string* foldOf(const ExprNode& n) const {
    if (!folds || n.op != Op::Upper || n.kids.size() != 1 || n.kids[0]->op != Op::Field) return nullptr;
    auto i = static_cast<std::size_t>(n.kids[0]->fieldIndex);
    if (i >= folds->size() || (*folds)[i].empty()) return nullptr;
    return &(*folds)[i];
  }

  // `padFree`: the caller ignores trailing blanks, so a STRING column (stored without
  // them) may stand for the padded field.
  std::string sql(const ExprNode& n, bool padFree) const {
    auto k = [&](std::size_t i, bool pf) { return sql(*n.kids[i], pf); };
    switch (n.op) {
      case Op::Literal:
      case Op::Bound: return ":" + prefix + std::to_string(n.param);
      case Op::Field: {
        const std::string col = field(n);
        if (n.field->type == FieldType::String && !padFree)
          return "qb_pad(" + col + "," + std::to_string(n.field->size) + ")";
        return col;
      }
      case Op::Neg: return "(-" + num(*n.kids[0]) + ")";
      case Op::Not: return "(NOT " + truth(*n.kids[0]) + ")";
      case Op::Add: return "(" + num(*n.kids[0]) + "+" + num(*n.kids[1]) + ")";
      case Op::Sub: return "(" + num(*n.kids[0]) + "-" + num(*n.kids[1]) + ")";
      case Op::Mul: return "(" + num(*n.kids[0]) + "*" + num(*n.kids[1]) + ")";
      case Op::Div: return "qb_div(" + num(*n.kids[0]) + "," + num(*n.kids[1]) + ")";
      case Op::Mod: return "qb_mod(" + num(*n.kids[0]) + "," + num(*n.kids[1]) + ")";
      case Op::Cat: return "qb_cat(" + text(*n.kids[0], false) + "," + text(*n.kids[1], false) + ")";
      case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: {
        const char* rel = n.op == Op::Eq ? "=" : n.op == Op::Ne ? "<>" : n.op == Op::Lt ? "<"
                        : n.op == Op::Gt ? ">" : n.op == Op::Le ? "<=" : ">=";
        if (n.kids[0]->isText && n.kids[1]->isText) {
          // Equality of texts padded with blanks is equality without trailing blanks,
          // which SQLite compares fast; STRING and CSTRING columns are stored so.
          if (n.op == Op::Eq || n.op == Op::Ne) {
            // Both sides upper-cased without trailing blanks: the folded copy, as a key
            // compares (upper-casing never makes or removes a blank).
            const ExprNode& a = *n.kids[0];
            const ExprNode& b = *n.kids[1];
            if (b.op == Op::Upper && b.kids.size() == 1 && b.kids[0]->isText) {
              if (const std::string* f = foldOf(a))
                return "(" + column(*f) + rel + "qb_fold(" + sql(*b.kids[0], true) + "))";
            }
            if (a.op == Op::Upper && a.kids.size() == 1 && a.kids[0]->isText) {
              if (const std::string* f = foldOf(b))
                return "(qb_fold(" + sql(*a.kids[0], true) + ")" + rel + column(*f) + ")";
            }
            return "(" + clipped(a) + rel + clipped(b) + ")";
          }
          return "(qb_cmp(" + k(0, true) + "," + k(1, true) + ")" + rel + "0)";
        }
        return "(" + num(*n.kids[0]) + rel + num(*n.kids[1]) + ")";
      }
      case Op::And: return "(" + truth(*n.kids[0]) + " AND " + truth(*n.kids[1]) + ")";
      case Op::Or: return "(" + truth(*n.kids[0]) + " OR " + truth(*n.kids[1]) + ")";
      case Op::Xor: return "(" + truth(*n.kids[0]) + "<>" + truth(*n.kids[1]) + ")";
      case Op::Clip: return "qb_clip(" + text(*n.kids[0], true) + ")";
      case Op::Left:
        if (n.kids.size() == 1) return "qb_left(" + text(*n.kids[0], padFree) + ")";
        return "qb_left(" + text(*n.kids[0], true) + "," + num(*n.kids[1]) + ")";
      case Op::Upper: return "qb_upper(" + text(*n.kids[0], padFree) + ")";
      case Op::Lower: return "qb_lower(" + text(*n.kids[0], padFree) + ")";
      case Op::SubStr:
        return "qb_sub(" + text(*n.kids[0], false) + "," + num(*n.kids[1]) +
               (n.kids.size() > 2 ? "," + num(*n.kids[2]) : std::string()) + ")";
      case Op::Instring: {
        std::string s = "qb_instring(" + text(*n.kids[0], false) + "," + text(*n.kids[1], false);
        for (std::size_t i = 2; i < n.kids.size(); ++i) s += "," + num(*n.kids[i]);
        return s + ")";
      }
      case Op::Len: return "qb_len(" + text(*n.kids[0], false) + ")";
    }
    return "0";
  }
  std::string clipped(const ExprNode& n) const {
    if (n.op == Op::Field && (n.field->type == FieldType::String || n.field->type == FieldType::CString))
      return field(n);
    return "rtrim(" + sql(n, true) + ",' ')";
  }
  // A field as the record holds it once read: a value of another kind than the field's, or
  // one too large for it, is taken the way a read takes it (the driver's qb_read). STRING
  // and CSTRING fields come without trailing blanks. A value as the program writes it
  // needs no call, which a filter tested in every record of a count would pay for.
  std::string field(const ExprNode& n) const {
    const std::string& col = column(columns[static_cast<std::size_t>(n.fieldIndex)]);
    const std::string read = "qb_read(" + col + "," + std::to_string(n.fieldIndex) + ")";
    const FieldDesc& f = *n.field;
    std::string written;
    switch (f.type) {
      case FieldType::Byte: written = "typeof(" + col + ")='integer' AND " + col + " BETWEEN 0 AND 255"; break;
      case FieldType::Long:
        written = "typeof(" + col + ")='integer' AND " + col + " BETWEEN -2147483648 AND 2147483647";
        break;
      case FieldType::String:
      case FieldType::CString:
      case FieldType::Memo: {
        const std::string bytes = "CAST(" + col + " AS BLOB)";
        const std::size_t room = f.type == FieldType::CString && f.size ? f.size - 1 : f.size;
        written = "typeof(" + col + ")='text' AND length(" + bytes + ")<=" + std::to_string(room);
        if (f.type != FieldType::Memo) written += " AND substr(" + col + ",-1)<>' '";
        if (f.type != FieldType::String) written += " AND instr(" + bytes + ",X'00')=0";
        break;
      }
      default: return read;
    }
    return "(CASE WHEN " + written + " THEN " + col + " ELSE " + read + " END)";
  }
  std::string num(const ExprNode& n) const { return n.isText ? "qb_num(" + sql(n, true) + ")" : sql(n, true); }
  std::string text(const ExprNode& n, bool padFree) const {
    return n.isText ? sql(n, padFree) : "qb_str(" + sql(n, true) + ")";
  }
  std::string truth(const ExprNode& n) const {
    if (n.isText) return "qb_true(" + sql(n, true) + ")";
    // A comparison or a logical operation is already 0 or 1, and left bare an index can
    // answer it.
    switch (n.op) {
      case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge:
      case Op::And: case Op::Or: case Op::Not: case Op::Xor: return sql(n, true);
      default: return "(" + sql(n, true) + "<>0)";
    }
  }
};

}  // namespace

// ---------------------------------------------------------------- Expression

Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::compile(const std::string& text, const FileDesc* file,
                                                std::string* error) {
  Parser p(text, file);
  auto root = p.parseAll();
  if (!root) {
    if (error) *error = p.error();
    return nullptr;
  }
  std::unique_ptr<Expression> e(new Expression);
  e->text_ = text;
  e->root_ = std::move(root);
  collect(e->root_.get(), e->params_, e->bound_);
  return e;
}

bool Expression::freeze(std::string* error) {
  for (ExprNode* n : bound_) {
    const BoundValue* b = findBound(n->name);
    if (!b) {
      if (error) *error = "unknown name " + n->name;
      frozen_ = false;
      return false;
    }
    n->literal = asType(readValue(b->type, b->address, b->size), n->isText);
  }
  frozen_ = true;
  return true;
}

void Expression::thaw() { frozen_ = false; }

ExprValue Expression::evaluate(const void* fileBuffer) const {
  return eval(*root_, static_cast<const char*>(fileBuffer), frozen_);
}

std::string Expression::toSql(const std::vector<std::string>& columns, const std::string& prefix,
                              const std::vector<std::string>* folds, std::vector<std::string>* used) const {
  SqlWriter w{columns, prefix, folds, used};
  return w.truth(*root_);
}

int Expression::paramCount() const { return static_cast<int>(params_.size()); }

ExprValue Expression::param(int i) const {
  const ExprNode* n = params_[static_cast<std::size_t>(i)];
  if (n->op == Op::Bound && !frozen_) {
    const BoundValue* b = findBound(n->name);
    if (!b) return asType(ExprValue{}, n->isText);
    return asType(readValue(b->type, b->address, b->size), n->isText);
  }
  return n->literal;
}

// ---------------------------------------------------------------- SQL functions

namespace {

std::string_view argText(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  if (!p) return {};
  return std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

double argNum(sqlite3_value* v) { return sqlite3_value_double(v); }

void resultText(sqlite3_context* c, const std::string& s) {
  sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fnCmp(sqlite3_context* c, int, sqlite3_value** v) {
  int r = compareText(argText(v[0]), argText(v[1]));
  sqlite3_result_int(c, r < 0 ? -1 : r > 0 ? 1 : 0);
}
void fnNum(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_double(c, parseNumber(argText(v[0]))); }
void fnStr(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, formatNumber(argNum(v[0]))); }
void fnTrue(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, isBlank(argText(v[0])) ? 0 : 1); }
void fnClip(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, clip(argText(v[0]))); }
void fnLeft(sqlite3_context* c, int n, sqlite3_value** v) {
  resultText(c, n == 1 ? leftJustify(argText(v[0])) : leftJustify(argText(v[0]), argNum(v[1])));
}
void fnUpper(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, upper(argText(v[0]))); }
void fnLower(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, lower(argText(v[0]))); }
void fnSub(sqlite3_context* c, int n, sqlite3_value** v) {
  resultText(c, subText(argText(v[0]), argNum(v[1]), n > 2 ? argNum(v[2]) : 1e9));
}
void fnInstring(sqlite3_context* c, int n, sqlite3_value** v) {
  sqlite3_result_double(c, instringOf(argText(v[0]), argText(v[1]), n > 2 ? argNum(v[2]) : 1,
                                      n > 3 ? argNum(v[3]) : 1));
}
void fnLen(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int64(c, static_cast<sqlite3_int64>(argText(v[0]).size())); }
void fnPad(sqlite3_context* c, int, sqlite3_value** v) {
  std::string s(argText(v[0]));
  auto n = static_cast<std::size_t>(std::max<sqlite3_int64>(0, sqlite3_value_int64(v[1])));
  if (s.size() < n) s.resize(n, ' ');
  resultText(c, s);
}
void fnDiv(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_double(c, divide(argNum(v[0]), argNum(v[1]))); }
void fnMod(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_double(c, modulo(argNum(v[0]), argNum(v[1]))); }
void fnCat(sqlite3_context* c, int, sqlite3_value** v) {
  std::string s(argText(v[0]));
  s += argText(v[1]);
  resultText(c, s);
}
void fnFold(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, caseFold(argText(v[0]))); }

}  // namespace

int registerFilterFunctions(sqlite3* db) {
  struct Fn { const char* name; int args; void (*f)(sqlite3_context*, int, sqlite3_value**); };
  static const Fn kFns[] = {
      {"qb_cmp", 2, fnCmp},     {"qb_num", 1, fnNum},       {"qb_str", 1, fnStr},
      {"qb_true", 1, fnTrue},   {"qb_clip", 1, fnClip},     {"qb_left", 1, fnLeft},
      {"qb_left", 2, fnLeft},   {"qb_upper", 1, fnUpper},   {"qb_lower", 1, fnLower},
      {"qb_sub", 2, fnSub},     {"qb_sub", 3, fnSub},       {"qb_instring", 2, fnInstring},
      {"qb_instring", 3, fnInstring}, {"qb_instring", 4, fnInstring}, {"qb_len", 1, fnLen},
      {"qb_pad", 2, fnPad},     {"qb_div", 2, fnDiv},       {"qb_mod", 2, fnMod},
      {"qb_cat", 2, fnCat},     {"qb_fold", 1, fnFold},
  };
  for (const auto& f : kFns) {
    int rc = sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        f.f, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace pf
