#include "widgets/ErrorReport.h"
#include "app/CorvalaApplication.h"
#include "support/GuiWait.h"
#include "widgets/ApplicationTitle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

namespace
{

struct TSeenBox {
  bool seen = false;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Watches for the error box, records what it shows and presses its OK button.
class TBoxCloser
{
public:
  TBoxCloser()
  {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box)
        return;
      boxes.push_back({true, box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
      box->button(QMessageBox::Ok)->click();
    });
    timer.start();
  }
  std::vector<TSeenBox> boxes;

private:
  QTimer timer;
};

} // namespace

TEST(ErrorReport, FullStopAppendedOnlyWhenMissing)
{
  EXPECT_EQ(ErrorReportText("'x' is not a valid integer value"), "'x' is not a valid integer value.");
  EXPECT_EQ(ErrorReportText("Unable to write."), "Unable to write.");
  EXPECT_EQ(ErrorReportText(""), ".");
}

TEST(ErrorReport, ExceptionFromAHandlerIsReportedAndTheApplicationGoesOn)
{
  SetApplicationTitle("Corvala Test");
  TBoxCloser closer;
  bool laterHandlerRan = false;
  QTimer::singleShot(0, [] { throw std::runtime_error("'8o' is not a valid integer value"); });
  QTimer::singleShot(5, [] { throw std::runtime_error("Unable to write to /x/my.ini."); });
  QTimer::singleShot(20, [&] { laterHandlerRan = true; });

  ASSERT_TRUE(WaitUntil([&] { return closer.boxes.size() == 2 && laterHandlerRan; }, 60s,
                        "both error boxes and the later handler"));
  // The second report may come up inside the first one's loop; order them by text.
  std::sort(closer.boxes.begin(), closer.boxes.end(),
            [](const TSeenBox &a, const TSeenBox &b) { return a.text < b.text; });
  EXPECT_EQ(closer.boxes[0].caption, "Corvala Test");
  EXPECT_EQ(closer.boxes[0].text, "'8o' is not a valid integer value.");
  EXPECT_EQ(closer.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(closer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(closer.boxes[1].text, "Unable to write to /x/my.ini.");
}
