// The drawn plot is a valid picture of the size asked for, in both formats.
#include <QByteArray>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "plot/plot_data.h"
#include "plot/stream_samples.h"
#include "plot_qt/plot_export.h"
#include "plot_qt/legend.h"
#include "plot_qt/plot_painter.h"
#include "plot_qt/text_fit.h"

namespace quorvane::plot {
namespace {

PlotData SampleData(QSize size) {
  StreamSamples stream;
  EXPECT_TRUE(ReadStreamSamples(std::string(QUORVANE_SAMPLES) + "/callerid-mdmf.pcm", {}, "", stream, nullptr));
  const std::vector<std::int16_t>& samples = stream.samples;
  PlotRequest request;
  const auto end = static_cast<std::int64_t>(samples.size());
  request.grid = {0, end, PlotColumns(size, {PlotTitle("callerid-mdmf.pcm", 0, end), QStringLiteral("test")})};
  return BuildPlotData(samples, request, "callerid-mdmf.pcm");
}

TEST(RenderPlot, PngHasTheRequestedSize) {
  const QSize size(900, 700);
  const QByteArray png = RenderPlot(SampleData(size), QStringLiteral("test"), size, ImageFormat::kPng);
  ASSERT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
  const QImage image = QImage::fromData(png, "PNG");
  EXPECT_EQ(image.size(), size);
}

TEST(RenderPlot, SvgParsesWithTheRequestedSize) {
  const QSize size(1000, 800);
  const QByteArray svg = RenderPlot(SampleData(size), QStringLiteral("test"), size, ImageFormat::kSvg);
  QXmlStreamReader xml(svg);
  QString root;
  int elements = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      if (root.isEmpty()) {
        root = xml.name().toString();
        EXPECT_EQ(xml.attributes().value("viewBox").toString(), QStringLiteral("0 0 1000 800"));
      }
      ++elements;
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root, QStringLiteral("svg"));
  EXPECT_GT(elements, 100);
}

const char* KindName(PlacedText::Kind kind) {
  switch (kind) {
    case PlacedText::Kind::kHeading: return "heading";
    case PlacedText::Kind::kPanelTitle: return "panel title";
    case PlacedText::Kind::kLegend: return "legend";
    case PlacedText::Kind::kLegendText: return "legend text";
    case PlacedText::Kind::kAxisTitle: return "axis title";
  }
  return "?";
}

std::string Where(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
         std::to_string(r.height());
}

// From the canvas minimum up, with the viewer's long path and subtitle:
// every title and legend lies inside the picture and the room it was given
// (its panel, margin or legend), keeps every letter, and the legends of a
// panel keep clear of each other.
TEST(RenderPlot, TitlesAndLegendsStayInsideAtEverySize) {
  const struct {
    const char* name;
    PlotWhat what;
    DtmfProfile profile;
    TonePlan plan;
  } plots[] = {{"callerid-mdmf.pcm", PlotWhat::kBoth, DtmfProfile::kExact, TonePlan::Bell202},
               {"dtmf-noisy.pcm", PlotWhat::kBoth, DtmfProfile::kRobust, TonePlan::V23},
               {"dtmf-keys.pcm", PlotWhat::kDtmf, DtmfProfile::kExact, TonePlan::Bell202},
               {"callerid-sdmf-v23.pcm", PlotWhat::kCallerId, DtmfProfile::kExact, TonePlan::V23}};
  const QSize sizes[] = {{640, 480}, {700, 520}, {800, 600}, {1258, 830}, {1600, 1120}, {1920, 480}, {640, 1200}};
  for (const auto& plot : plots) {
    const std::string path = std::string(QUORVANE_SAMPLES) + "/" + plot.name;
    StreamSamples stream;
    ASSERT_TRUE(ReadStreamSamples(path, {}, "", stream, nullptr));
    const auto end = static_cast<std::int64_t>(stream.samples.size());
    const QString subtitle = QString::fromStdString(DescribeInput(stream.info) + " · " +
                                                    DetectorsShown(plot.what, plot.profile, plot.plan)) +
                             QStringLiteral(" · wheel: zoom · drag: pan");
    for (const QSize size : sizes) {
      const PlotOutline outline{PlotTitle(path, 0, end), subtitle, plot.what != PlotWhat::kCallerId,
                                plot.what != PlotWhat::kDtmf, plot.profile};
      const PlotRequest request{{0, end, PlotColumns(size, outline)}, plot.what, plot.plan, plot.profile};
      const PlotData data = BuildPlotData(stream.samples, request, path);
      QImage image(size, QImage::Format_RGB32);
      PlacedTexts placed;
      {
        QPainter painter(&image);
        PaintPlot(painter, data, size, subtitle, &placed);
      }
      const std::string at = std::string(plot.name) + " at " + std::to_string(size.width()) + "x" +
                             std::to_string(size.height()) + ": ";
      int titles = 0;
      for (const PlacedText& t : placed) {
        const std::string what = at + KindName(t.kind) + " \"" + t.text.toStdString() + "\" at " + Where(t.box);
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(t.box)) << what;
        EXPECT_TRUE(t.room.contains(t.box)) << what << " outside " << Where(t.room);
        EXPECT_FALSE(t.text.contains(QChar(0x2026))) << what;
        titles += t.kind == PlacedText::Kind::kPanelTitle ? 1 : 0;
        for (const PlacedText& u : placed) {
          if (&u < &t && t.kind == PlacedText::Kind::kLegend && u.kind == PlacedText::Kind::kLegend && u.room == t.room) {
            EXPECT_FALSE(t.box.intersects(u.box)) << what << " overlaps " << Where(u.box);
          }
        }
      }
      EXPECT_GE(titles, 2 + (data.dtmf ? 1 : 0) + (data.callerId ? 1 : 0)) << at;
    }
  }
}

// On the canvas minimum the panels stack without overlapping above the time
// axis, each detector panel keeps room for its legend, marks and trace, and
// the data's columns are the layout's; at the command's default size nothing
// moves from the one-line layout.
TEST(LayOutPanels, PanelsStackInsideTheCanvasAtAnySize) {
  const QString subtitle = QStringLiteral(
      "raw ulaw, 8000 Hz · DTMF: robust detector, 5 ms sub-blocks · caller ID: exact receiver, V.23 FSK, "
      "1300/2100 Hz · wheel: zoom · drag: pan");
  const QString longTitle = PlotTitle(std::string(300, 'x'), 0, 8000);
  const struct {
    QSize size;
    QString title;
    bool tight;
  } cases[] = {{{640, 480}, longTitle, true},
               {{640, 480}, QStringLiteral("a"), true},
               {{1600, 1120}, QStringLiteral("a"), false},
               {{1280, 720}, longTitle, false}};
  for (const auto& c : cases) {
    const PlotOutline outline{c.title, subtitle, true, true, DtmfProfile::kRobust};
    const PanelLayout layout = LayOutPanels(c.size, outline);
    const std::string at = std::to_string(c.size.width()) + "x" + std::to_string(c.size.height());
    EXPECT_EQ(layout.tight, c.tight) << at;
    EXPECT_EQ(PlotColumns(c.size, outline), layout.plotWidth) << at;
    int top = layout.heading.bottom();
    for (const QRect& panel : layout.panels) {
      EXPECT_GT(panel.top(), top) << at;
      top = panel.bottom();
    }
    EXPECT_LE(top, layout.timeAxis.top()) << at;
    EXPECT_LE(layout.timeAxis.bottom(), c.size.height() - 1) << at;
    EXPECT_GE(layout.panels[kDtmfPanel].height(), 94) << at;
    EXPECT_GE(layout.panels[kCallerIdPanel].height(), 94) << at;
  }
  // The command's default picture keeps the one-line heading and titles.
  const PanelLayout standard = LayOutPanels({1600, 1120}, {QStringLiteral("a"), subtitle, true, true});
  EXPECT_EQ(standard.heading.height(), 46);
  EXPECT_EQ(standard.plotLeft, 78);
  EXPECT_FALSE(standard.titlesWrapped);
}

TEST(Legend, TakesShortNamesOnlyWhenTheFullOnesWouldCrowdThePanel) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  const QFontMetrics metrics(font);
  const std::vector<LegendItem> items = {{Qt::red, QStringLiteral("row tone (max of 697–941 Hz)"), Qt::SolidLine,
                                          QStringLiteral("row")},
                                         {Qt::blue, QStringLiteral("column tone (max of 1209–1633 Hz)"),
                                          Qt::SolidLine, QStringLiteral("column")}};
  const struct {
    QRect panel;
    int rows;
    bool brief;
  } cases[] = {{{0, 0, 1000, 100}, 1, false}, {{0, 0, 300, 300}, 2, false}, {{0, 0, 300, 80}, 1, true}};
  for (const auto& c : cases) {
    const LegendLayout legend = LayOutLegend(metrics, c.panel, items);
    EXPECT_EQ(legend.rows, c.rows) << c.panel.width() << "x" << c.panel.height();
    EXPECT_EQ(legend.items.front().text, c.brief ? QStringLiteral("row") : items.front().text);
    EXPECT_TRUE(c.panel.contains(legend.box)) << c.panel.width() << "x" << c.panel.height();
  }
}

TEST(WrapText, BreaksBetweenItemsThenWordsAndKeepsEveryWord) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  const QFontMetrics metrics(font);
  const QString text = QStringLiteral("raw ulaw, 8000 Hz · DTMF: exact detector, 8 Goertzel filters · wheel: zoom");
  const struct {
    int width;
    QStringList lines;
  } cases[] = {
      {2000, {text}},
      {metrics.horizontalAdvance(QStringLiteral("DTMF: exact detector, 8 Goertzel filters")),
       {QStringLiteral("raw ulaw, 8000 Hz"), QStringLiteral("DTMF: exact detector, 8 Goertzel filters"),
        QStringLiteral("wheel: zoom")}},
      {metrics.horizontalAdvance(QStringLiteral("DTMF: exact detector,")),
       {QStringLiteral("raw ulaw, 8000 Hz"), QStringLiteral("DTMF: exact detector,"), QStringLiteral("8 Goertzel filters"),
        QStringLiteral("wheel: zoom")}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WrapText(text, metrics, c.width).join(QStringLiteral(" | ")).toStdString(),
              c.lines.join(QStringLiteral(" | ")).toStdString());
  }
  const QStringList narrow = WrapText(QStringLiteral("Goertzel"), metrics, 30);
  ASSERT_EQ(narrow.size(), 1);
  EXPECT_LE(metrics.horizontalAdvance(narrow.front()), 30);
}

TEST(RenderPlot, FormatComesFromTheExtension) {
  EXPECT_EQ(FormatFromPath("a/b.PNG"), ImageFormat::kPng);
  EXPECT_EQ(FormatFromPath("b.svg"), ImageFormat::kSvg);
  EXPECT_EQ(FormatFromPath("b.jpg"), std::nullopt);
  EXPECT_EQ(FormatFromPath("dir.png/b"), std::nullopt);
}

}  // namespace
}  // namespace quorvane::plot

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
