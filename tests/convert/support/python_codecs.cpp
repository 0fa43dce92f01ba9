#include "python_codecs.h"

#include "python_oracle.h"

namespace python_oracle {

std::optional<std::vector<std::uint32_t>> DecodeEach(const std::string& strCodec,
                                                     const std::vector<model::Bytes>& units)
{
    // Each unit goes over as a length byte and its bytes; each answer comes
    // back as four bytes, low first.
    const std::string script = "import sys\n"
                               "d = open(sys.argv[1], 'rb').read()\n"
                               "out = bytearray()\n"
                               "i = 0\n"
                               "while i < len(d):\n"
                               "    unit = d[i + 1:i + 1 + d[i]]\n"
                               "    i += 1 + d[i]\n"
                               "    try:\n"
                               "        t = unit.decode('" + strCodec + "')\n"
                               "    except UnicodeDecodeError:\n"
                               "        t = ''\n"
                               "    out += (ord(t) if len(t) == 1 else 0).to_bytes(4, 'little')\n"
                               "open(sys.argv[2], 'wb').write(out)\n";
    model::Bytes in;
    for (const model::Bytes& unit : units) {
        in.push_back(static_cast<std::uint8_t>(unit.size()));
        in.insert(in.end(), unit.begin(), unit.end());
    }
    const std::optional<model::Bytes> out = Run(script, in);
    if (!out || out->size() != 4 * units.size())
        return std::nullopt;
    std::vector<std::uint32_t> codePoints(units.size());
    for (std::size_t k = 0; k < units.size(); ++k) {
        const std::uint8_t* p = out->data() + 4 * k;
        codePoints[k] = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    return codePoints;
}

} // namespace python_oracle
