#include "platform/ui/qt/dialogs/calendar_dialog.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "platform/core/dates.h"
#include "platform/ui/qt/convert.h"

namespace pf::qt {

CalendarDialog::CalendarDialog(const Dialog& d, QWidget* parent) : QDialog(parent) {
  setWindowTitle(qs(d.calendar.caption));
  auto* lay = new QVBoxLayout(this);
  auto* cal = new QCalendarWidget(this);
  cal->setFirstDayOfWeek(d.calendar.firstDayOfWeek == 0 ? Qt::Sunday : Qt::Monday);
  QTextCharFormat sunday, saturday, weekday;
  sunday.setForeground(bgr(d.calendar.sundayColor));
  saturday.setForeground(bgr(d.calendar.saturdayColor));
  weekday.setForeground(bgr(d.calendar.weekdayColor));
  cal->setWeekdayTextFormat(Qt::Sunday, sunday);
  cal->setWeekdayTextFormat(Qt::Saturday, saturday);
  for (Qt::DayOfWeek day : {Qt::Monday, Qt::Tuesday, Qt::Wednesday, Qt::Thursday, Qt::Friday})
    cal->setWeekdayTextFormat(day, weekday);
  int y = 0, m = 0, dd = 0;
  dayToDate(d.calendar.date, y, m, dd);
  cal->setSelectedDate(QDate(y, m, dd));
  lay->addWidget(cal);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  lay->addWidget(box);
  QObject::connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // Enter on a day (the calendar keeps it from the OK button) or a double click takes it.
  QObject::connect(cal, &QCalendarWidget::activated, this, &QDialog::accept);
  int id = d.id;
  QObject::connect(this, &QDialog::finished, [id, cal](int result) {
    QDate q = cal->selectedDate();
    if (result == QDialog::Accepted) answerDialog(id, 1, {}, dateToDay(q.year(), q.month(), q.day()));
    else answerDialog(id, 0);
  });
  setWindowModality(Qt::NonModal);
}

}  // namespace pf::qt
