// The drawn plot is a valid picture of the size asked for, in both formats.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "plot/plot_data.h"
#include "plot/stream_samples.h"
#include "plot_qt/plot_export.h"
#include "plot_qt/plot_painter.h"

namespace quorvane::plot {
namespace {

PlotData SampleData(QSize size) {
  StreamSamples stream;
  EXPECT_EQ(ReadStreamSamples(std::string(QUORVANE_SAMPLES) + "/callerid-mdmf.pcm", {}, "", stream), "");
  const std::vector<std::int16_t>& samples = stream.samples;
  PlotRequest request;
  request.grid = {0, static_cast<std::int64_t>(samples.size()), PlotColumns(size)};
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
