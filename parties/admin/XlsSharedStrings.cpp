#include "parties/admin/XlsSharedStrings.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kRecordSst = 0x00FC;
constexpr int kRecordContinue = 0x003C;
constexpr int kRecordExtSst = 0x00FF;
constexpr int kRecordBoundSheet = 0x0085;
constexpr int kMaxRecordData = 8224;
// FreeXL reads a workbook stream only from ordinary sectors, not from the mini stream.
constexpr int kLeastStream = 5120;

quint16 u16(const QByteArray& b, qsizetype at) {
  return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}
quint32 u32(const QByteArray& b, qsizetype at) { return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16; }
void put16(QByteArray& b, quint16 v) {
  b.append(char(v & 0xFF));
  b.append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v) {
  put16(b, quint16(v & 0xFFFF));
  put16(b, quint16(v >> 16));
}
void set32(QByteArray& b, qsizetype at, quint32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// The first stream of a compound file named one of `names`, or nothing when there is none or the
// file is not one that reads cleanly.
std::optional<QByteArray> compoundStream(const QByteArray& file, const QStringList& names) {
  if (file.size() < 512 || !file.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) return std::nullopt;
  const int shift = u16(file, 0x1E);
  if (shift != 9 && shift != 12) return std::nullopt;
  const qsizetype sector = qsizetype(1) << shift;
  const qsizetype sectors = (file.size() - 1) / sector;  // sectors after the header
  const auto sectorAt = [&](quint32 s) -> std::optional<QByteArray> {
    if (s >= quint32(sectors)) return std::nullopt;
    return file.mid((qsizetype(s) + 1) * sector, sector);
  };
  // The allocation table: its sectors from the header's list, then from the chained list sectors.
  std::vector<quint32> fatSectors;
  const quint32 fatCount = u32(file, 0x2C);
  for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(u32(file, 0x4C + 4 * i));
  quint32 difat = u32(file, 0x44);
  for (qsizetype guard = 0; fatSectors.size() < fatCount && difat < quint32(sectors) && guard < sectors; ++guard) {
    const auto s = sectorAt(difat);
    if (!s) return std::nullopt;
    for (qsizetype i = 0; i + 4 < sector && fatSectors.size() < fatCount; i += 4) fatSectors.push_back(u32(*s, i));
    difat = u32(*s, sector - 4);
  }
  if (fatSectors.size() != fatCount) return std::nullopt;
  std::vector<quint32> fat;
  for (quint32 f : fatSectors) {
    const auto s = sectorAt(f);
    if (!s) return std::nullopt;
    for (qsizetype i = 0; i < sector; i += 4) fat.push_back(u32(*s, i));
  }
  const auto chain = [&](quint32 start, const std::vector<quint32>& table, const std::function<std::optional<QByteArray>(quint32)>& read)
      -> std::optional<QByteArray> {
    QByteArray out;
    for (quint32 s = start, n = 0; s != kEndOfChain; s = table[s], ++n) {
      if (s >= table.size() || n > table.size()) return std::nullopt;
      const auto part = read(s);
      if (!part) return std::nullopt;
      out += *part;
    }
    return out;
  };
  const auto directory = chain(u32(file, 0x30), fat, sectorAt);
  if (!directory || directory->size() < 128) return std::nullopt;
  const QByteArray root = directory->left(128);
  for (qsizetype at = 0; at + 128 <= directory->size(); at += 128) {
    const QByteArray e = directory->mid(at, 128);
    const int nameBytes = u16(e, 64);
    if (nameBytes < 2 || nameBytes > 64 || e[66] != 2) continue;
    const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(e.constData()), nameBytes / 2 - 1);
    if (!names.contains(name)) continue;
    const quint32 start = u32(e, 116);
    const quint32 size = u32(e, 120);
    std::optional<QByteArray> data;
    if (size < u32(file, 0x38)) {
      // A small stream lives in the mini stream, in 64-byte pieces with their own table.
      const auto miniStream = chain(u32(root, 116), fat, sectorAt);
      const auto miniFatBytes = chain(u32(file, 0x3C), fat, sectorAt);
      if (!miniStream || !miniFatBytes) return std::nullopt;
      std::vector<quint32> miniFat;
      for (qsizetype i = 0; i + 4 <= miniFatBytes->size(); i += 4) miniFat.push_back(u32(*miniFatBytes, i));
      data = chain(start, miniFat, [&](quint32 s) -> std::optional<QByteArray> {
        if ((qsizetype(s) + 1) * 64 > miniStream->size()) return std::nullopt;
        return miniStream->mid(qsizetype(s) * 64, 64);
      });
    } else {
      data = chain(start, fat, sectorAt);
    }
    if (!data || data->size() < qsizetype(size)) return std::nullopt;
    return data->left(size);
  }
  return std::nullopt;
}

struct Record {
  int type;
  QByteArray data;
  qsizetype oldOffset;
};

// The strings of a shared-string table spread over its record and the CONTINUE records after it.
std::optional<QStringList> readSharedStrings(const std::vector<QByteArray>& chunks) {
  size_t chunk = 0;
  qsizetype at = 8;
  const auto left = [&] { return chunk < chunks.size() ? chunks[chunk].size() - at : 0; };
  const auto nextChunk = [&] {
    ++chunk;
    at = 0;
    return chunk < chunks.size();
  };
  // Raw bytes (formatting runs, extended data) may run on into the next records.
  const auto skip = [&](qsizetype n) {
    while (n > 0) {
      if (left() <= 0 && !nextChunk()) return false;
      const qsizetype step = std::min(n, left());
      at += step;
      n -= step;
    }
    return true;
  };
  if (chunks.empty() || chunks[0].size() < 8) return std::nullopt;
  const quint32 unique = u32(chunks[0], 4);
  QStringList out;
  for (quint32 i = 0; i < unique; ++i) {
    if (left() < 3 && !(left() == 0 && nextChunk() && left() >= 3)) return std::nullopt;
    const quint16 count = u16(chunks[chunk], at);
    quint8 flags = quint8(chunks[chunk][at + 2]);
    at += 3;
    quint16 runs = 0;
    quint32 ext = 0;
    if (flags & 0x08) {
      if (left() < 2) return std::nullopt;
      runs = u16(chunks[chunk], at);
      at += 2;
    }
    if (flags & 0x04) {
      if (left() < 4) return std::nullopt;
      ext = u32(chunks[chunk], at);
      at += 4;
    }
    QString text;
    while (text.size() < count) {
      if (left() <= 0) {
        // The characters go on in the next record, which starts with their width again.
        if (!nextChunk() || left() < 1) return std::nullopt;
        flags = quint8(chunks[chunk][at]);
        ++at;
        continue;
      }
      if (flags & 0x01) {
        if (left() < 2) return std::nullopt;
        text += QChar(u16(chunks[chunk], at));
        at += 2;
      } else {
        text += QChar(quint8(chunks[chunk][at]));
        ++at;
      }
    }
    if (!skip(qsizetype(runs) * 4) || !skip(ext)) return std::nullopt;
    out << text;
  }
  return out;
}

// The table written again, every string in UTF-16, split over CONTINUE records where it is long.
std::vector<QByteArray> writeSharedStrings(quint32 total, const QStringList& strings) {
  std::vector<QByteArray> records(1);
  put32(records[0], total);
  put32(records[0], quint32(strings.size()));
  for (const QString& s : strings) {
    if (kMaxRecordData - records.back().size() < 5) records.emplace_back();
    put16(records.back(), quint16(s.size()));
    records.back().append(char(0x01));
    for (qsizetype i = 0; i < s.size(); ++i) {
      if (kMaxRecordData - records.back().size() < 2) {
        records.emplace_back();
        records.back().append(char(0x01));
      }
      put16(records.back(), s[i].unicode());
    }
  }
  return records;
}

// A compound file holding one stream, "Workbook", in ordinary sectors of 512 bytes.
std::optional<QByteArray> compoundFile(QByteArray stream) {
  constexpr int kSector = 512;
  if (stream.size() < kLeastStream) stream.append(QByteArray(kLeastStream - stream.size(), '\0'));
  const quint32 streamSectors = quint32((stream.size() + kSector - 1) / kSector);
  quint32 fatSectors = 1;
  while ((fatSectors + streamSectors + 1) > fatSectors * (kSector / 4)) ++fatSectors;
  if (fatSectors > 109) return std::nullopt;
  stream.append(QByteArray(qsizetype(streamSectors) * kSector - stream.size(), '\0'));
  const quint32 firstStream = fatSectors, dirSector = fatSectors + streamSectors;

  QByteArray header = QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(16, '\0');
  for (quint16 v : {quint16(0x003E), quint16(0x0003), quint16(0xFFFE), quint16(9), quint16(6)}) put16(header, v);
  header.append(QByteArray(6, '\0'));
  for (quint32 v : {0u, fatSectors, dirSector, 0u, 4096u, kEndOfChain, 0u, kEndOfChain, 0u}) put32(header, v);
  for (quint32 i = 0; i < 109; ++i) put32(header, i < fatSectors ? i : kFreeSector);

  QByteArray fat;
  for (quint32 i = 0; i < fatSectors; ++i) put32(fat, kFatSector);
  for (quint32 i = 0; i < streamSectors; ++i) put32(fat, i + 1 < streamSectors ? firstStream + i + 1 : kEndOfChain);
  put32(fat, kEndOfChain);
  while (fat.size() < qsizetype(fatSectors) * kSector) put32(fat, kFreeSector);

  const auto entry = [](const QString& name, char type, quint32 child, quint32 start, quint32 size) {
    QByteArray e;
    for (QChar c : name) put16(e, c.unicode());
    if (!name.isEmpty()) put16(e, 0);
    const quint16 nameBytes = quint16(e.size());
    e.append(QByteArray(64 - e.size(), '\0'));
    put16(e, nameBytes);
    e.append(type);
    e.append(char(1));
    for (quint32 v : {kNoStream, kNoStream, child}) put32(e, v);
    e.append(QByteArray(16 + 4 + 16, '\0'));
    put32(e, start);
    put32(e, size);
    put32(e, 0);
    return e;
  };
  QByteArray dir = entry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0) +
                   entry(QStringLiteral("Workbook"), 2, kNoStream, firstStream, quint32(stream.size()));
  dir += entry(QString(), 0, kNoStream, 0, 0) + entry(QString(), 0, kNoStream, 0, 0);
  return header + fat + stream + dir;
}

}  // namespace

bool CopyWithMarkedEmptyStrings(const QString& path, const QString& copyPath, QString* marker) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) return false;
  const auto stream = compoundStream(in.readAll(), {QStringLiteral("Workbook"), QStringLiteral("Book")});
  if (!stream) return false;

  std::vector<Record> records;
  for (qsizetype at = 0; at + 4 <= stream->size();) {
    const int type = u16(*stream, at);
    const qsizetype length = u16(*stream, at + 2);
    // Zero bytes after the last record pad the stream out, as Excel's own files are padded.
    if ((type == 0 && length == 0) || at + 4 + length > stream->size()) break;
    records.push_back({type, stream->mid(at + 4, length), at});
    at += 4 + length;
  }
  size_t sst = 0;
  while (sst < records.size() && records[sst].type != kRecordSst) ++sst;
  if (sst == records.size()) return false;
  size_t afterSst = sst + 1;
  std::vector<QByteArray> chunks{records[sst].data};
  while (afterSst < records.size() && records[afterSst].type == kRecordContinue) chunks.push_back(records[afterSst++].data);
  auto strings = readSharedStrings(chunks);
  if (!strings || !strings->contains(QString())) return false;

  // A marker no string of the workbook holds.
  QString mark = QStringLiteral("\uE000");
  while (strings->contains(mark)) mark += QChar(0xE000);
  for (QString& s : *strings)
    if (s.isEmpty()) s = mark;

  std::vector<Record> out(records.begin(), records.begin() + qsizetype(sst));
  for (const QByteArray& data : writeSharedStrings(u32(chunks[0], 0), *strings))
    out.push_back({out.size() == sst ? kRecordSst : kRecordContinue, data, -1});
  for (size_t i = afterSst; i < records.size(); ++i)
    if (records[i].type != kRecordExtSst) out.push_back(records[i]);  // its offsets would be stale; readers do without it

  // The sheets are found by their offsets in the stream: they move with the longer table.
  std::map<qsizetype, quint32> moved;
  quint32 offset = 0;
  for (const Record& r : out) {
    if (r.oldOffset >= 0) moved[r.oldOffset] = offset;
    offset += 4 + quint32(r.data.size());
  }
  QByteArray rebuilt;
  for (Record& r : out) {
    if (r.type == kRecordBoundSheet) {
      if (r.data.size() < 4) return false;
      const auto to = moved.find(qsizetype(u32(r.data, 0)));
      if (to == moved.end()) return false;
      set32(r.data, 0, to->second);
    }
    put16(rebuilt, quint16(r.type));
    put16(rebuilt, quint16(r.data.size()));
    rebuilt += r.data;
  }
  const auto file = compoundFile(rebuilt);
  if (!file) return false;
  QSaveFile copy(copyPath);
  if (!copy.open(QIODevice::WriteOnly) || copy.write(*file) != file->size() || !copy.commit()) return false;
  *marker = mark;
  return true;
}

bool IsEncryptedPackage(const QByteArray& file) {
  return compoundStream(file, {QStringLiteral("EncryptedPackage")}).has_value();
}
