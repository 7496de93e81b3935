#include "brand/tag_test_images.h"

#include "brand/installer_tag_parser.h"
#include "test/support/pe_test_image.h"

namespace install_util::test_images {

namespace {

constexpr uint32_t kLfanew = 0x40;

std::string Oid(std::string_view encoded) {
  return Der(0x06, encoded);
}

std::string Extension(std::string_view oid, std::string_view value) {
  return Der(0x30, Oid(oid) + Der(0x04, value));
}

}  // namespace

std::string Der(uint8_t tag, std::string_view contents) {
  std::string out(1, static_cast<char>(tag));
  const size_t length = contents.size();
  if (length < 0x80) {
    out.push_back(static_cast<char>(length));
  } else {
    std::string body;
    for (size_t l = length; l; l >>= 8)
      body.insert(body.begin(), static_cast<char>(l & 0xff));
    out.push_back(static_cast<char>(0x80 | body.size()));
    out += body;
  }
  out.append(contents);
  return out;
}

std::string TagValue(std::string_view tag, size_t reserve) {
  std::string out;
  out.push_back(static_cast<char>(tag.size() >> 8));
  out.push_back(static_cast<char>(tag.size() & 0xff));
  out.append(tag);
  out.append(reserve, '\0');
  return out;
}

std::string DummyCertificate(std::string_view value, DummyOptions options) {
  std::string tbs(reinterpret_cast<const char*>(kDummyCertificateTemplate),
                  kDummyCertificateTemplateSize);
  tbs[7] = static_cast<char>(options.serial);
  // subjectPublicKeyInfo: content is never looked at.
  tbs += Der(0x30, Der(0x30, Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01")) +
                       Der(0x03, std::string("\0\x30\x00", 3)));
  std::string extensions;
  const std::string_view kOids[] = {"\x55\x1d\x13", "\x55\x1d\x0f",
                                    "\x55\x1d\x25", "\x69\x01"};
  for (int i = 0; i < options.extensions && i < 4; ++i)
    extensions +=
        Extension(kOids[i], i == 3 ? value : std::string_view("\x30\x00", 2));
  tbs += Der(0xa3, Der(0x30, extensions));
  return Der(0x30, Der(0x30, tbs) +
                       Der(0x30, Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x05")) +
                       Der(0x03, std::string(5, '\0')));
}

std::string OtherCertificate(size_t filler) {
  return Der(0x30, Der(0x30, Der(0x04, std::string(filler, 'o'))));
}

std::string SignedData(const std::vector<std::string>& certificates,
                       size_t signer_info_size) {
  std::string set;
  for (const std::string& c : certificates)
    set += c;
  const std::string signed_data =
      Der(0x02, "\x01") +  // version
      Der(0x31, Der(0x30, Oid("\x60\x86\x48\x01\x65\x03\x04\x02\x01"))) +
      Der(0x30, Oid("\x2b\x06\x01\x04\x01\x82\x37\x02\x01\x04")) +
      Der(0xa0, set) + Der(0x31, std::string(signer_info_size, 's'));
  return Der(0x30, Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02") +
                       Der(0xa0, Der(0x30, signed_data)));
}

uint32_t SecurityEntryOffset(bool pe32_plus) {
  return test::SecurityEntryOffset(
      {.pe32_plus = pe32_plus, .nt_headers_offset = kLfanew});
}

void PutLE32(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

std::string Image(std::string_view blob, ImageOptions options) {
  std::string table(8, '\0');
  table += blob;
  table.append((8 - table.size() % 8) % 8, '\0');
  table += options.appended;
  table.append((8 - table.size() % 8) % 8, '\0');
  PutLE32(&table, 0, static_cast<uint32_t>(table.size()));
  table[4] = 0x00;  // revision 2.0
  table[5] = 0x02;
  table[6] = 0x02;  // PKCS#7 signed data
  const std::vector<uint8_t> headers = test::MakePeHeaders(
      {.pe32_plus = options.pe32_plus,
       .nt_headers_offset = kLfanew,
       .table_offset = kTableOffset,
       .table_size = static_cast<uint32_t>(table.size())},
      kTableOffset);
  return std::string(headers.begin(), headers.end()) + table;
}

std::string AppendedBlock(std::string_view tag) {
  return "Nact" + TagValue(tag);
}

}  // namespace install_util::test_images
