// The filter language: expressions over a file's fields and bound names, such as
// "WEB:FavouriteYN=1", "CLIP(LEFT(WEB:WebAddress)) > ''" or "WEB:Category=CAT:Category".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/record.h"

namespace pf {

namespace Err {
constexpr int BadFilter = 800;  // the expression cannot be parsed or names an unknown name
}

// The deepest an expression may nest (brackets, function calls, operators, NOT and signs):
// the parser, the evaluator and the SQL they make recurse once a level, on a thread's
// stack of its own.
constexpr int MaxExpressionDepth = 100;

// A value of the language: a text or a number.
struct ExprValue {
  bool isText = false;
  std::string text;
  double number = 0;

  static ExprValue ofText(std::string s) { return ExprValue{true, std::move(s), 0}; }
  static ExprValue ofNumber(double n) { return ExprValue{false, {}, n}; }
  bool truth() const;             // a number not 0, a text not blank
  double toNumber() const;        // a text reads its leading number (0 when none)
  std::string toText() const;     // whole numbers without decimals
};

// Text comparison: letter case counts and the shorter text is padded with blanks, so
// trailing blanks never matter. Returns <0, 0 or >0.
int compareText(std::string_view a, std::string_view b);

// A field or variable of any field type as a value (STRING keeps its padding).
ExprValue readValue(FieldType type, const void* address, std::size_t size);

struct ExprNode;

class Expression {
 public:
  ~Expression();
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  // Parses `text`. Names (letter case ignored) are the fields of `file` (may be null)
  // and then the bound names. nullptr with `error` set on a syntax error, an unknown name or
  // nesting deeper than MaxExpressionDepth.
  static std::unique_ptr<Expression> compile(const std::string& text, const FileDesc* file,
                                             std::string* error = nullptr);

  // Takes the current values of the bound names, which then stay fixed until thaw().
  // false when a bound name has been unbound meanwhile.
  bool freeze(std::string* error = nullptr);
  void thaw();

  // Evaluates with the file's fields read from `fileBuffer`.
  ExprValue evaluate(const void* fileBuffer) const;
  bool test(const void* fileBuffer) const { return evaluate(fileBuffer).truth(); }

  // The expression as an SQL condition over the file's columns (`columns[i]` names field i)
  // with parameters ":<prefix>0", ":<prefix>1", ... whose values param(i) gives after
  // freeze(). The SQL functions come from registerFilterFunctions (sql_functions.h).
  // `folds[i]`, when given and not empty, holds field i's text without letter case and
  // trailing blanks: UPPER(field) = UPPER(text) is then a test of that column, which an
  // index can answer. `used` receives every column the condition reads.
  std::string toSql(const std::vector<std::string>& columns, const std::string& prefix,
                    const std::vector<std::string>* folds = nullptr,
                    std::vector<std::string>* used = nullptr) const;
  int paramCount() const;
  ExprValue param(int i) const;

  const std::string& text() const { return text_; }

 private:
  Expression() = default;
  std::string text_;
  std::unique_ptr<ExprNode> root_;
  std::vector<ExprNode*> params_;   // literal and bound nodes, in SQL parameter order
  std::vector<ExprNode*> bound_;
  bool frozen_ = false;
};

}  // namespace pf
