#include "platform/store/view.h"

#include <cstring>

#include "platform/store/driver.h"

namespace pf {

View::View(File& file) : file_(file), sqlFilter_(std::make_unique<SqlFilter>()) {}
View::~View() = default;

void View::setOrder(const KeyDesc* key) {
  order_ = key;
  dirty_ = true;
}

void View::setReverse(bool reverse) {
  reverse_ = reverse;
  dirty_ = true;
}

void View::setFilter(const std::string& id, const std::string& expression) {
  bool blank = expression.find_first_not_of(" \t") == std::string::npos;
  if (blank) parts_.erase(id);
  else parts_[id] = expression;
  dirty_ = true;
}

void View::clearFilter() {
  parts_.clear();
  dirty_ = true;
}

std::string View::filter() const {
  std::string r;
  for (const auto& [id, e] : parts_) r += (r.empty() ? "(" : " AND (") + e + ")";
  return r;
}

void View::setEvaluateOnly(bool on) {
  evaluateOnly_ = on;
  dirty_ = true;
}

void View::setEachOnce(bool on) {
  eachOnce_ = on;
  dirty_ = true;
}

bool View::filterRunsAsSql() {
  if (dirty_ && prepare() != Err::None) return false;
  return evalParts_.empty();
}

int View::finish(int code) {
  if (code == Err::None) clearError();
  else setError(code, file_.name(), detail_);
  return code;
}

// Compiles the parts and makes the cursor for the current order.
int View::prepare() {
  detail_.clear();
  FileDriver* d = file_.driver();
  sqlParts_.clear();
  evalParts_.clear();
  sqlFilter_->where.clear();
  sqlFilter_->params.clear();
  sqlFilter_->columns.clear();
  cursor_.reset();
  std::vector<std::string> columns = evaluateOnly_ ? std::vector<std::string>{} : d->sqlColumns();
  std::vector<std::string> folds;
  for (std::size_t i = 0; i < columns.size(); ++i) folds.push_back(d->sqlFoldColumn(static_cast<int>(i)));
  for (const auto& [id, text] : parts_) {
    std::string error;
    auto e = Expression::compile(text, &file_.desc(), &error);
    if (!e) {
      detail_ = "filter part " + id + ": " + error;
      return Err::BadFilter;
    }
    if (!columns.empty()) {
      std::string prefix = "f" + std::to_string(sqlParts_.size()) + "_";
      std::string sql = e->toSql(columns, prefix, &folds, &sqlFilter_->columns);
      sqlFilter_->where += (sqlFilter_->where.empty() ? "" : " AND ") + sql;
      sqlParts_.push_back(std::move(e));
    } else {
      evalParts_.push_back(std::move(e));
    }
  }
  cursor_ = d->cursor(CursorSpec{order_, reverse_, sqlFilter_.get(), eachOnce_});
  if (!cursor_) {
    detail_ = "the file cannot be read in this order";
    return Err::BadRecord;
  }
  if (!evalParts_.empty()) cursor_->setPageHint(256);
  dirty_ = false;
  return Err::None;
}

// Reads the bound names the filter uses; the SQL parameters take their values.
int View::restart() {
  pending_ = 0;
  if (!open_) return pending_ = Err::NotOpen;
  if (dirty_) {
    int r = prepare();
    if (r != Err::None) return pending_ = r;
  }
  sqlFilter_->params.clear();
  for (std::size_t j = 0; j < sqlParts_.size(); ++j) {
    std::string error;
    if (!sqlParts_[j]->freeze(&error)) {
      detail_ = error;
      return pending_ = Err::BadFilter;
    }
    std::string prefix = ":f" + std::to_string(j) + "_";
    for (int i = 0; i < sqlParts_[j]->paramCount(); ++i)
      sqlFilter_->params.emplace_back(prefix + std::to_string(i), sqlParts_[j]->param(i));
  }
  for (auto& e : evalParts_) {
    std::string error;
    if (!e->freeze(&error)) {
      detail_ = error;
      return pending_ = Err::BadFilter;
    }
  }
  return Err::None;
}

int View::open() {
  detail_.clear();
  if (!file_.isOpen()) return finish(Err::NotOpen);
  open_ = true;
  dirty_ = true;
  int r = prepare();
  if (r != Err::None) {
    open_ = false;
    return finish(r);
  }
  set();
  return finish(Err::None);
}

int View::close() {
  if (!open_) return finish(Err::NotOpen);
  open_ = false;
  cursor_.reset();
  dirty_ = true;
  return finish(Err::None);
}

void View::set() {
  readSinceSet_ = false;
  if (restart() == Err::None) cursor_->setStart();
}

void View::setFromBuffer() {
  readSinceSet_ = false;
  if (restart() == Err::None) cursor_->setFromBuffer();
}

void View::setAt(const Position& pos) {
  readSinceSet_ = false;
  if (restart() == Err::None) cursor_->setAt(pos);
}

int View::step(bool prev) {
  if (pending_) return finish(pending_);
  if (!open_ || !cursor_) return finish(Err::NotOpen);
  if (!file_.isOpen()) return finish(Err::NotOpen);
  FileDriver* d = file_.driver();
  // Records passed over by the filter must not stay in the buffer at the end.
  std::vector<char> saved;
  if (!evalParts_.empty()) saved.assign(d->buffer(), d->buffer() + file_.desc().bufferSize);
  for (;;) {
    int r = readRebuildingKeys(file_, !readSinceSet_, [&] { return prev ? cursor_->previous() : cursor_->next(); });
    if (r != Err::None) {
      if (!saved.empty()) std::memcpy(d->buffer(), saved.data(), saved.size());
      detail_ = d->detail();
      return finish(r);
    }
    bool pass = true;
    for (const auto& e : evalParts_)
      if (!e->test(d->buffer())) {
        pass = false;
        break;
      }
    if (pass) {
      readSinceSet_ = true;
      return finish(Err::None);
    }
  }
}

int View::refresh() {
  if (pending_) return finish(pending_);
  if (!open_ || !cursor_ || !file_.isOpen()) return finish(Err::NotOpen);
  FileDriver* d = file_.driver();
  int r = readRebuildingKeys(file_, false, [&] { return cursor_->reread(); });
  if (r != Err::None) {
    detail_ = d->detail();
    return finish(r);
  }
  for (const auto& e : evalParts_)
    if (!e->test(d->buffer())) return step(false);
  return finish(Err::None);
}

int View::next() { return step(false); }
int View::previous() { return step(true); }

Position View::position() const { return cursor_ ? cursor_->position() : Position{}; }

std::int64_t View::count() {
  if (!open_) return finish(Err::NotOpen), -1;
  if (restart() != Err::None) return finish(pending_), -1;
  FileDriver* d = file_.driver();
  if (evalParts_.empty()) {
    std::int64_t n = d->count(CursorSpec{order_, reverse_, sqlFilter_.get()});
    if (n >= 0) return finish(Err::None), n;
    if (n == -1) {
      detail_ = d->detail();
      return finish(d->lastError() ? d->lastError() : Err::FileSystemError), -1;
    }
  }
  // A filtered scan on a cursor of its own; the buffer is left as it was.
  auto scan = d->cursor(CursorSpec{order_, false, sqlFilter_.get()});
  if (!scan) return finish(Err::BadRecord), -1;
  scan->setPageHint(1024);
  std::vector<char> saved(d->buffer(), d->buffer() + file_.desc().bufferSize);
  Position current = d->current();
  scan->setStart();
  std::int64_t n = 0;
  int r;
  bool fromStart = true;
  while ((r = readRebuildingKeys(file_, fromStart, [&] { return scan->next(); })) == Err::None) {
    fromStart = false;
    bool pass = true;
    for (const auto& e : evalParts_)
      if (!e->test(d->buffer())) {
        pass = false;
        break;
      }
    if (pass) ++n;
  }
  std::memcpy(d->buffer(), saved.data(), saved.size());
  d->setCurrent(current);
  if (r != Err::RecordNotAvailable) {
    detail_ = d->detail();
    return finish(r), -1;
  }
  return finish(Err::None), n;
}

int View::put() {
  if (!open_) return finish(Err::NotOpen);
  Position p = position();
  if (p.empty()) return finish(Err::RecordNotAvailable);
  file_.driver()->setCurrent(p);
  return file_.put();
}

}  // namespace pf
