#include "chrome/installer/norvel/util/trust/pinned_keys.h"

namespace install_util {

// DER SubjectPublicKeyInfo of each RSA-1024 key, Base64. These are the
// development keys whose private halves live in
// tools/trusted_list/development_keys/; a release build replaces them with
// the keys of the product's signing authority.
const char* const kPinnedPublicKeys[kPinnedKeyCount] = {
    // 0
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDPYSo7vJHfbPr5PUhz0zh+t3UdzASJV4eH"
    "hCv4nBrocHN1XKz7/BkqBL+jrwsa2UfzSZ6fMAmH58EJS2J/d5nrL+oN1jvQX3dctDbtdzUn"
    "zIXgV9b3wmCtknF/B7yCiwgCrro4hi0WWk809fDCcWySK2AG69DBqtehvrmYZMN1+QIDAQAB",
    // 1
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQClSJjoesJTngCxsTJ0ZemtfWAufesYm68R"
    "dayIODJw45FdRKo4kweniI/rlgdfnN86JvCpOZez9/O+MldDs9Jg1/9gM1uP4FLTEab1i6Zx"
    "hlbMTjNc0yAfi7yUXogelS7OSQIoTH4Z5uj6eGRGMqMikXCYta6pfLqLUTKkNBxIYQIDAQAB",
    // 2
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDULzHZRkjA/aUXl2ch3TUyjjSIwtNUNs/W"
    "lIU+eqVm8G+oICEmrbTZNwDyOeHmNKyT0TncbT82V+is9br7EkRXM/Me+a+cyzhdxHzoBjgk"
    "Whi5SYLpUCM4vCLZWNS5LryLS0JwAKkkwd2OkW7HGWCS3IrbW10yGw4uO4BwrWPk9QIDAQAB",
    // 3
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQCqLCuFPjp1FIBd347LQM1k6nhJDmNtR7nt"
    "mVMwWZyyHB4tmeyw+GqiyW3+TdE/J++wzlz0rek4zx/WbNsT1lX8xUKroEwgtA3WNnwJNhAQ"
    "4DLoCNVP78yXGaLHRwjEWRuN7ntl5Knd1qc96J9DXFWnQofvn+L4iKWmIzKh2kdANQIDAQAB",
    // 4
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQCppJbMhn3+S1BQfNCVYurZxqV/n0Prs74+"
    "6gO2GZMtOXhxUE+jRpAdWXhlHWILyBAaT2OAK87AMcw128sQCrvMipVhCa1ZAfomUcNkGNYI"
    "ffSrnw8ytyeCa0awykSyFwDPEgsg4asSNSamD/oFZrn+u/eN3qteR2UHNODv1pMDSwIDAQAB",
    // 5
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQCrtf+Ing0kLgVaFGrlYEngmXhuyukahbvg"
    "ivHmry1ClWShOimYz9286VQE0351MdtFV0t4BZ3F5rVYBvxew/Y5eYPmraBmSGIVbftOq1d/"
    "Bd4BXVRCcvsPq0tenVMn9bXxja9Y/mrck8hQr/wiaKnAH+nEHPlxHaiocas2YKLn/QIDAQAB",
    // 6
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDZyucyGf3tmNfTDBaSU8WFXZzIwbaXkLzg"
    "85ggSIVGzXRDgJfhj3SPzOOBABuJbM3zz7RTkF/hnlR5zA42f0nd7GP0IYi7htVfShe+SOh4"
    "Y3D5bGPOR0kC5PqmQsCkMKe9lTKDXM/9TP68WRcYl8YIbQ+jC/GilLTEEBWg9seDxQIDAQAB",
    // 7
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQC2jEgwyaRtwBR9MoPvpbMAfKjGz67VC/5H"
    "GfUFOhIvWeO8gOQMlMEOeUMdPolGkPUE5jWS5Ou1Xv1jbcxk61zessjuTe5yLI6+Q5YYJO8n"
    "ruQucAkKnK8h4S1UE3vljYoegC4zIRSpqUdCSp+E1kBdswuzSXCjW6CKCxMpwCHBXwIDAQAB",
    // 8
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQC5yJPotJ0xxlN1WYS3x31MGM1q1cjKxZWC"
    "c/2dSS+lLsO3JL/2sOxcy7SDbytFZ8a19SnPIXL1Ut9POuOKorkF5shYr+99CjyMt+wPd6fy"
    "H7ZEZW9tu3diqiuvZJslm07598Wasr1/CJfMvZYUpIIxLxEiyIpZkKp5qR4zCA3IgQIDAQAB",
    // 9
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDgeckFj1nTeDxGbOLLKxiWGAffacDyxEj0"
    "FP8YkxuTFkbGv0eV5ir93IkotE48qPrUMa1KA25RSYnXGdj79959ee1u/7TOKWXxs1m60i4S"
    "FpUcfsLH5Vldbr/y77R6dA1PocbaGci4nGfNzgAS4kCa7k9pobx7D0x31Jyoucoq+QIDAQAB",
};

}  // namespace install_util
