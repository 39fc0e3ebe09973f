#include "trace/BufferFile.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

namespace {

std::unique_ptr<CBufferData> Numbered()
{
  auto data = std::make_unique<CBufferData>();
  for (int t = 0; t < CBufferData::kTracks; ++t)
    data->names[static_cast<size_t>(t)] = QStringLiteral("Track %1").arg(t);
  return data;
}

bool ReadBytes(const QByteArray &bytes, CBufferData &data)
{
  QBuffer in;
  in.setData(bytes);
  in.open(QIODevice::ReadOnly);
  return BufferFile::Read(in, data);
}

const QByteArray kTwoSamples = "Track 0;Track 1;Track 2;Track 3;Track 4;Track 5\r\n"
                               "1;1;1;1;1;1\r\n"
                               "0;0;0;0;0;0\r\n"
                               "0.50000000; 2.00000000\r\n"
                               "12;-3;0;0;0;540\r\n"
                               "13;-2;0;0;0;541\r\n";

} // namespace

TEST(BufferFile, WritesTheDocumentedLayoutAndReadsItBack)
{
  auto data = Numbered();
  data->samplingTime = 0.5;
  data->trigDelay = 2.0;
  data->nSamples = 2;
  data->raw[0][0] = 12, data->raw[1][0] = -3, data->raw[5][0] = 540;
  data->raw[0][1] = 13, data->raw[1][1] = -2, data->raw[5][1] = 541;
  EXPECT_EQ(BufferFile::Write(*data), kTwoSamples);

  CBufferData back;
  ASSERT_TRUE(ReadBytes(kTwoSamples, back));
  EXPECT_EQ(back.names[3], QStringLiteral("Track 3"));
  EXPECT_EQ(back.nSamples, 2u);
  EXPECT_DOUBLE_EQ(back.samplingTime, 0.5);
  EXPECT_DOUBLE_EQ(back.trigDelay, 2.0);
  EXPECT_DOUBLE_EQ(back.raw[5][1], 541);
  EXPECT_DOUBLE_EQ(back.raw[1][0], -3);
}

TEST(BufferFile, SaveLoadSaveGivesTheSameBytes)
{
  auto data = Numbered();
  data->names[1] = QStringLiteral("Velocità °C");
  data->gains = {2, 0.5, 1.25, -1, 1e-3, 123456789.0};
  data->offsets = {100, -7.5, 0, 0, 3e10, 0};
  data->samplingTime = 0.123456789;
  data->trigDelay = 12.5;
  data->nSamples = 250;
  for (unsigned i = 0; i < 250; ++i)
    for (int t = 0; t < 6; ++t)
      data->raw[static_cast<size_t>(t)][i] = static_cast<int16_t>(i * 131 + t * 1000);
  const QByteArray once = BufferFile::Write(*data);
  EXPECT_EQ(once.count("\r\n"), 4 + 250);
  EXPECT_TRUE(once.contains("Velocit\xE0 \xB0"
                            "C"))
      << "names are written in Windows-1252";

  auto back = std::make_unique<CBufferData>();
  ASSERT_TRUE(ReadBytes(once, *back));
  EXPECT_EQ(back->names, data->names);
  EXPECT_EQ(back->nSamples, 250u);
  EXPECT_EQ(back->raw[3], data->raw[3]);
  EXPECT_EQ(BufferFile::Write(*back), once);
}

TEST(BufferFile, NumbersIgnoreTheUsersLocale)
{
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "it_IT.UTF-8") && !std::setlocale(LC_ALL, "it_IT.utf8"))
    GTEST_SKIP() << "no Italian locale installed";
  auto data = Numbered();
  data->gains[0] = 2.5;
  data->samplingTime = 0.25;
  const QByteArray bytes = BufferFile::Write(*data);
  CBufferData back;
  const bool read = ReadBytes(bytes, back);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_TRUE(bytes.startsWith("Track 0;"));
  EXPECT_TRUE(bytes.contains("2.5;1;1")) << bytes.constData();
  EXPECT_TRUE(bytes.contains("0.25000000; 0.00000000"));
  ASSERT_TRUE(read);
  EXPECT_DOUBLE_EQ(back.gains[0], 2.5);
  EXPECT_DOUBLE_EQ(back.samplingTime, 0.25);
}

TEST(BufferFile, AFileWithoutTheOffsetsLineTakesTheThirdLineForTheTimes)
{
  CBufferData data;
  data.offsets.fill(9);
  ASSERT_TRUE(ReadBytes("a;b;c;d;e;f\r\n2;2;2;2;2;2\r\n0.5; 2\r\n1;2;3;4;5;6\r\n", data));
  EXPECT_EQ(data.offsets, (std::array<double, 6>{}));
  EXPECT_DOUBLE_EQ(data.samplingTime, 0.5);
  EXPECT_DOUBLE_EQ(data.trigDelay, 2.0);
  EXPECT_EQ(data.nSamples, 1u);
  EXPECT_DOUBLE_EQ(data.raw[5][0], 6);
  EXPECT_DOUBLE_EQ(data.gains[2], 2);

  // An offsets line short of its sixth field is not an offsets line either.
  CBufferData shortOffsets;
  ASSERT_TRUE(ReadBytes("a;b\r\n1;1\r\n7;7;7;7;7\r\n", shortOffsets));
  EXPECT_EQ(shortOffsets.offsets, (std::array<double, 6>{}));
  EXPECT_DOUBLE_EQ(shortOffsets.samplingTime, 7) << "a time line of one number gives it to both times";
  EXPECT_DOUBLE_EQ(shortOffsets.trigDelay, 7);
}

TEST(BufferFile, HeaderFieldsAreTakenFromTheLeftWithTheQuirksOfTheFormat)
{
  int count = -1;
  auto fields = BufferFile::SplitHeader(QStringLiteral(";a;b"), &count);
  EXPECT_EQ(count, 0) << "a line beginning with ';' gives nothing";
  BufferFile::SplitHeader(QStringLiteral("no separator"), &count);
  EXPECT_EQ(count, 0);
  fields = BufferFile::SplitHeader(QStringLiteral("a;;b"), &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(fields[1], QStringLiteral(";b")) << "a remainder starting with ';' is one last field";
  fields = BufferFile::SplitHeader(QStringLiteral("1;2;3;4;5;6;7;8"), &count);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(fields[5], QStringLiteral("6"));
  fields = BufferFile::SplitHeader(QStringLiteral("x;"), &count);
  EXPECT_EQ(count, 1);

  CBufferData data;
  data.names.fill(QStringLiteral("kept"));
  ASSERT_TRUE(ReadBytes(";A;B\r\n1;1;1;1;1;1\r\n0;0;0;0;0;0\r\n1;1\r\n", data));
  EXPECT_EQ(data.names[0], QStringLiteral("kept"));
  ASSERT_TRUE(ReadBytes("A;B\r\n1;1;1;1;1;1\r\n0;0;0;0;0;0\r\n1;1\r\n", data));
  EXPECT_EQ(data.names[1], QStringLiteral("B"));
  EXPECT_EQ(data.names[2], QStringLiteral("kept"));
}

TEST(BufferFile, SampleLinesRepeatTheirLastValueAndStopAtAThousand)
{
  QByteArray bytes = "a;b\r\n1;1;1;1;1;1\r\n0;0;0;0;0;0\r\n1;2\r\n5;6\r\n7;;9\r\n\r\n 3 ;x;4\r\n";
  CBufferData data;
  ASSERT_TRUE(ReadBytes(bytes, data));
  ASSERT_EQ(data.nSamples, 4u);
  for (int t = 1; t < 6; ++t)
    EXPECT_DOUBLE_EQ(data.raw[static_cast<size_t>(t)][0], 6) << "track " << t;
  EXPECT_DOUBLE_EQ(data.raw[0][1], 7);
  EXPECT_DOUBLE_EQ(data.raw[1][1], 0) << "an empty field gives 0 to its track and those after it";
  EXPECT_DOUBLE_EQ(data.raw[5][1], 0);
  EXPECT_DOUBLE_EQ(data.raw[3][2], 0) << "an empty line is a sample of zeros";
  EXPECT_DOUBLE_EQ(data.raw[0][3], 3);
  EXPECT_DOUBLE_EQ(data.raw[1][3], 0) << "text reads as 0";
  EXPECT_DOUBLE_EQ(data.raw[2][3], 4);

  QByteArray many = "a;b\n1;1;1;1;1;1\n0;0;0;0;0;0\n1;1\n";
  for (int i = 0; i < 1500; ++i)
    many += QByteArray::number(i) + ";1;2;3;4;5\n";
  many += "nan;1"; // never read: neither its number nor its cut refuses the file
  ASSERT_TRUE(ReadBytes(many, data));
  EXPECT_EQ(data.nSamples, 1000u);
  EXPECT_DOUBLE_EQ(data.raw[0][999], 999);
}

TEST(BufferFile, AShortFileKeepsWhatWasTakenAndNeverLeaksTheOffsetsMarker)
{
  CBufferData data;
  data.names.fill(QStringLiteral("kept"));
  data.samplingTime = 0.1;
  EXPECT_FALSE(ReadBytes("", data));
  EXPECT_EQ(data.names[0], QStringLiteral("kept"));

  EXPECT_FALSE(ReadBytes("A;B\r\n3;4\r\n", data));
  EXPECT_EQ(data.names[0], QStringLiteral("A"));
  EXPECT_DOUBLE_EQ(data.gains[1], 4);
  EXPECT_DOUBLE_EQ(data.gains[2], 1);
  EXPECT_EQ(data.offsets, (std::array<double, 6>{})) << "offsets never read are 0, not a marker";
  EXPECT_DOUBLE_EQ(data.samplingTime, 0.1);
  EXPECT_EQ(data.nSamples, 0u);

  EXPECT_FALSE(ReadBytes("A;B\r\n3;4\r\n1;2;3;4;5;6\r\n", data)) << "the time line is missing";
  EXPECT_DOUBLE_EQ(data.offsets[5], 6);
}

TEST(BufferFile, HostileLinesAreBounded)
{
  QByteArray bytes = "a;b\n1;1;1;1;1;1\n0;0;0;0;0;0\n1;1\n";
  bytes += "7" + QByteArray(200 * 1024, ' ') + "\n";
  bytes += "0x10;\xff\xfe;-0\n";
  // An over-long last line is cut by the reader, not by the end of the file.
  bytes += "8" + QByteArray(200 * 1024, ' ');
  auto numbered = Numbered();
  CBufferData &data = *numbered;
  ASSERT_TRUE(ReadBytes(bytes, data));
  ASSERT_EQ(data.nSamples, 3u) << "an over-long line is one sample, its rest skipped";
  EXPECT_DOUBLE_EQ(data.raw[5][0], 7);
  EXPECT_DOUBLE_EQ(data.raw[1][1], 0);
  EXPECT_DOUBLE_EQ(data.raw[3][2], 8);
  // What was read writes out and reads back to the same text.
  const QByteArray once = BufferFile::Write(data);
  CBufferData again;
  ASSERT_TRUE(ReadBytes(once, again));
  EXPECT_EQ(BufferFile::Write(again), once);
}
