#include "platform/classes/process_manager.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/core/value.h"
#include "platform/ui/window.h"

namespace pf {

// --- step managers -------------------------------------------------------------------

// Every byte counts, in the order the key compares them: skipping punctuation made the
// estimate run backwards ("B-z" before "Bravo" in the key, after it in the estimate).
double TextStep::position(const std::string& s) const {
  double pos = 0, scale = 1;
  int taken = 0;
  for (unsigned char ch : s) {
    scale /= 257;
    pos += (ch + 1) * scale;
    if (++taken == 8) break;
  }
  return pos;
}

void TextStep::SetLimits(const Binding&, const std::string& low, const std::string& high) {
  low_ = low;
  high_ = high;
  known_[0] = known_[1] = false;
}

int TextStep::GetPercentile(const Binding& field, bool caseSensitive) {
  auto keyed = [&](const std::string& v) { return position(caseSensitive ? clip(v) : caseFold(v)); };
  const int c = caseSensitive ? 1 : 0;
  if (!known_[c]) {
    lowAt_[c] = keyed(low_);
    highAt_[c] = keyed(high_);
    known_[c] = true;
  }
  const double low = lowAt_[c], high = highAt_[c];
  if (high <= low) return 0;
  double p = (keyed(field.get()) - low) / (high - low) * 100;
  return std::clamp(static_cast<int>(p), 0, 100);
}

void NumericStep::SetLimits(const Binding&, const std::string& low, const std::string& high) {
  low_ = static_cast<double>(toNumber(low));
  high_ = static_cast<double>(toNumber(high));
}

int NumericStep::GetPercentile(const Binding& field, bool) {
  double v = static_cast<double>(field.getNumber());
  double span = descending_ ? low_ - high_ : high_ - low_;
  if (span <= 0) return 0;
  double p = (descending_ ? low_ - v : v - low_) / span * 100;
  return std::clamp(static_cast<int>(p), 0, 100);
}

// --- the walk ------------------------------------------------------------------------

ProcessManager::~ProcessManager() { ProcessKill(); }

void ProcessManager::ProcessInit(File& file, FileRelations& relation, int pctText,
                                 std::uint8_t& progress, ThumbStep& step,
                                 const Binding& valueField) {
  file_ = &file;
  view_ = std::make_unique<View>(file);
  view_->setEachOnce(true);
  RELATION = &relation;
  PTEXT = pctText;
  PERCENTILE = &progress;
  STEPMGR = &step;
  VALUEFIELD = valueField;
  CASESENSITIVEVALUE = 1;
  byCount_ = false;
}

void ProcessManager::ProcessInitCount(File& file, FileRelations& relation, int pctText,
                                      std::int32_t count, std::uint8_t& progress) {
  file_ = &file;
  view_ = std::make_unique<View>(file);
  view_->setEachOnce(true);
  RELATION = &relation;
  PTEXT = pctText;
  PERCENTILE = &progress;
  STEPMGR = nullptr;
  byCount_ = true;
  countGiven_ = count;
}

void ProcessManager::ViewAddSortOrder(const KeyDesc* key) {
  order_ = key;
  if (view_) view_->setOrder(key);
}

void ProcessManager::ViewSetFilter(const std::string& expression) {
  filter_ = expression;
  if (view_) view_->setFilter("5 Standard", expression);
}

void ProcessManager::ProcessKill() {
  ProcessEndFrame();
  if (view_ && view_->isOpen()) view_->close();
  // Once only: the step manager may be gone by the time the destructor runs.
  if (STEPMGR) STEPMGR->Kill();
  STEPMGR = nullptr;
}

void ProcessManager::measure() {
  RECORDSTOPROCESS = 0;
  if (byCount_) {
    std::int64_t n = countGiven_ ? countGiven_ : file_->records();
    RECORDSTOPROCESS = static_cast<std::int32_t>(std::max<std::int64_t>(0, n));
    return;
  }
  if (!STEPMGR) return;
  // The first and last values of the view in its order.
  std::string low, high;
  view_->setReverse(false);
  view_->set();
  if (view_->next() == 0) low = VALUEFIELD.get();
  view_->setReverse(true);
  view_->set();
  if (view_->next() == 0) high = VALUEFIELD.get();
  view_->setReverse(false);
  STEPMGR->SetLimits(VALUEFIELD, low, high);
}

int ProcessManager::ProcessReset() {
  RECORDSPROCESSED = 0;
  READFAILED = 0;
  lastPercent_ = 0;
  if (!view_) return Level::Program;
  if (!view_->isOpen() && view_->open() != 0) return Level::Fatal;
  measure();
  view_->set();
  return 0;
}

int ProcessManager::ProcessNextRecord() {
  if (!view_ || !view_->isOpen()) return Level::Fatal;
  int rc = view_->next();
  if (rc == Err::RecordNotAvailable) return Level::Notify;
  if (rc != 0) return readFailed();
  ++RECORDSPROCESSED;
  int pct = 0;
  if (byCount_) {
    if (RECORDSTOPROCESS > 0)
      pct = static_cast<int>(static_cast<std::int64_t>(RECORDSPROCESSED) * 100 / RECORDSTOPROCESS);
  } else if (STEPMGR) {
    pct = STEPMGR->GetPercentile(VALUEFIELD, CASESENSITIVEVALUE != 0);
  }
  pct = std::min(pct, 100);
  std::uint8_t shown = PERCENTILE ? *PERCENTILE : static_cast<std::uint8_t>(lastPercent_);
  if (pct != shown) {
    lastPercent_ = pct;
    if (PERCENTILE) *PERCENTILE = static_cast<std::uint8_t>(pct);
    ProcessShowProgress();
  }
  return 0;
}

int ProcessManager::ProcessResume() {
  if (!view_ || !view_->isOpen()) return Level::Fatal;
  int rc = view_->refresh();
  if (rc == Err::RecordNotAvailable) {
    // The end of the order, where a walk may go on (in another order, say): the record
    // that was gone has been counted, the one that stands for it is not.
    int level = ProcessNextRecord();
    if (level == 0) --RECORDSPROCESSED;
    return level;
  }
  return rc != 0 ? readFailed() : 0;
}

// A walk that cannot read on says so, with the file and its error, and stops.
int ProcessManager::readFailed() {
  READFAILED = 1;
  ProcessEndFrame();
  throwReadError(RELATION, *file_);
  return Level::Fatal;
}

void ProcessManager::ProcessShowProgress() {
  if (!WINDOW || !WINDOW->isOpen()) return;
  if (PTEXT) WINDOW->setText(PTEXT, std::to_string(PERCENTILE ? *PERCENTILE : lastPercent_) + "% Complete");
  WINDOW->display();
}

void ProcessManager::ProcessBeginFrame() {
  if (FRAMEWRITES && file_ && file_->isOpen() && !file_->inTransaction()) file_->logout();
}

bool ProcessManager::ProcessInFrame() const { return file_ && file_->isOpen() && file_->inTransaction(); }

void ProcessManager::ProcessEndFrame() {
  if (!file_ || !file_->inTransaction()) return;
  // A frame often ends because a write failed; its error is the one the user is shown,
  // and a commit that succeeds must not clear it.
  ErrorStatus before = currentErrorStatus();
  if (file_->commit() == Err::None) currentErrorStatus() = before;
}

}  // namespace pf
