#include "controls/XHyperLink.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(XHyperLink, DefaultsAndTarget)
{
  QWidget host;
  CXHyperLink link(QStringLiteral("Velotrix Dev. Dept."), &host);
  EXPECT_EQ(link.GetLinkColour(), RGB(0, 0, 238));
  EXPECT_EQ(link.GetVisitedColour(), RGB(85, 26, 139));
  EXPECT_EQ(link.GetHoverColour(), RGB(255, 0, 0));
  EXPECT_EQ(link.GetUnderline(), -1);
  EXPECT_EQ(link.GetURL(), QStringLiteral("Velotrix Dev. Dept.")) << "the text is the target until one is set";
  EXPECT_FALSE(link.font().underline());
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

  link.SetURL(QStringLiteral("mailto:dev@example.com"));
  EXPECT_EQ(link.toolTip(), QStringLiteral("mailto:dev@example.com"));
  EXPECT_EQ(link.text(), QStringLiteral("Velotrix Dev. Dept."));
  QFont underlined = link.font();
  underlined.setUnderline(true);
  EXPECT_EQ(link.width(), QFontMetrics(underlined).size(Qt::TextSingleLine, link.text()).width());
  EXPECT_EQ(link.CurrentColour(), link.GetLinkColour());

  // A link without text shows its target, sized to it.
  CXHyperLink bare(&host);
  bare.SetURL(QStringLiteral("https://example.com/velotrix"));
  host.show();
  EXPECT_EQ(bare.text(), QStringLiteral("https://example.com/velotrix"));
  EXPECT_EQ(bare.width(), QFontMetrics(underlined).size(Qt::TextSingleLine, bare.text()).width());
}

TEST(XHyperLink, ClickOpensThroughTheLauncherOrBeeps)
{
  TestEnvironment env;
  QWidget host;
  CXHyperLink link(QStringLiteral("Board && Firmware"), &host);
  link.SetURL(QStringLiteral("mailto:fw@example.com"));
  link.SetNotifyParent(true);
  QSignalSpy clicked(&link, &CXHyperLink::clicked);
  host.show();

  QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, link.rect().center());
  EXPECT_EQ(env.launcher().opened, QStringList{QStringLiteral("mailto:fw@example.com")});
  EXPECT_TRUE(link.GetVisited());
  EXPECT_EQ(link.CurrentColour(), link.GetVisitedColour());
  EXPECT_EQ(TestEnvironment::beeps(), 0);
  EXPECT_EQ(clicked.count(), 1);

  // A target nobody can open: a beep, and the link stays unvisited.
  CXHyperLink other(QStringLiteral("nowhere"), &host);
  env.launcher().succeed = false;
  QTest::mouseClick(&other, Qt::LeftButton, Qt::NoModifier, other.rect().center());
  EXPECT_FALSE(other.GetVisited());
  EXPECT_EQ(TestEnvironment::beeps(), 1);

  // An empty target is a failure too, and is never handed to the Launcher.
  env.launcher().succeed = true;
  env.launcher().opened.clear();
  CXHyperLink empty(QStringLiteral("x"), &host);
  empty.SetURL(QString());
  QTest::mouseClick(&empty, Qt::LeftButton, Qt::NoModifier, empty.rect().center());
  EXPECT_FALSE(empty.GetVisited());
  EXPECT_EQ(TestEnvironment::beeps(), 2);
  EXPECT_TRUE(env.launcher().opened.isEmpty());
  EXPECT_FALSE(CXHyperLink::GotoURL(QStringLiteral("  ")));
}

TEST(XHyperLink, UnderlinedOnlyWhileHovered)
{
  QWidget host;
  host.resize(300, 100);
  CXHyperLink link(QStringLiteral("hover me"), &host);
  link.move(10, 10);
  host.show();
  QTest::mouseMove(&link, link.rect().center());
  ASSERT_TRUE(link.IsOverControl());
  EXPECT_TRUE(link.font().underline());
  EXPECT_EQ(link.CurrentColour(), link.GetHoverColour());
  QTest::mouseMove(&host, QPoint(250, 80));
  QTRY_VERIFY_WITH_TIMEOUT(!link.IsOverControl(), 300);
  EXPECT_FALSE(link.font().underline());
  EXPECT_EQ(link.CurrentColour(), link.GetLinkColour());

  link.SetUnderline(1);
  EXPECT_TRUE(link.font().underline());
  link.SetUnderline(0);
  EXPECT_FALSE(link.font().underline());
}

TEST(XHyperLink, SizingKeepsTheTopOfAnOrdinaryLink)
{
  QWidget host;
  host.resize(400, 200);
  CXHyperLink link(QStringLiteral("dev@example.com"), &host);
  link.setGeometry(10, 20, 300, 60);
  link.PositionWindow();
  QFont underlined = link.font();
  underlined.setUnderline(true);
  const QSize text = QFontMetrics(underlined).size(Qt::TextSingleLine, link.text());
  ASSERT_LT(text.height(), 60);
  EXPECT_EQ(link.geometry(), QRect(10, 20, text.width(), text.height()));

  // Asked to centre vertically, it keeps its middle; centred or right-aligned
  // text keeps its middle or its right edge.
  CXHyperLink centred(QStringLiteral("dev@example.com"), &host);
  centred.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  centred.setGeometry(10, 20, 300, 60);
  centred.PositionWindow();
  EXPECT_EQ(centred.geometry().top(), 20 + (60 - text.height()) / 2);
  EXPECT_EQ(centred.geometry().left(), 10 + (300 - text.width()) / 2);
  CXHyperLink right(QStringLiteral("dev@example.com"), &host);
  right.setAlignment(Qt::AlignRight);
  right.setGeometry(10, 20, 300, 60);
  right.PositionWindow();
  EXPECT_EQ(right.geometry(), QRect(310 - text.width(), 20, text.width(), text.height()));
}
