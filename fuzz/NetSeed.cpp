// Writes the network harnesses' seeds, which no data file holds: a named message as a datagram
// (NetMessageFuzz), and a conversation of data, ack, heartbeat and offer datagrams in the
// channel harness's record form (NetChannelFuzz).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "network/NetWire.h"

namespace {

std::vector<uint8_t> Datagram(NetKind kind, uint32_t sequence, uint32_t ack, const std::vector<uint8_t>& payload)
{
    NetHeader header;
    header.mKind = kind;
    header.mToken = 7;
    header.mSequence = sequence;
    header.mAck = ack;
    header.mLength = uint16_t(payload.size());
    std::vector<uint8_t> out(kNetHeaderSize);
    WriteNetHeader(header, out.data());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

void Append(std::string& records, uint8_t step, const std::vector<uint8_t>& datagram)
{
    records.push_back(char(step));
    records.push_back(char(datagram.size() & 0xFF));
    records.push_back(char(datagram.size() >> 8));
    records.append(datagram.begin(), datagram.end());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s message.bin channel.bin\n", argv[0]);
        return 2;
    }
    ParamBuffer params;
    params.PushInt(-3);
    params.PushFloat(2.5f);
    params.PushUInt(9);
    std::vector<uint8_t> message;
    std::string error;
    if (!EncodeNetMessage("Tower", "Fire", params, message, error))
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::vector<uint8_t> data = Datagram(NetKind::Data, 1, 0, message);
    std::ofstream(argv[1], std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));

    const std::vector<uint8_t> offer = {4, 'H', 'o', 's', 't', 0x2D, 0x6B, 2};
    std::string records;
    Append(records, 1, data);
    Append(records, 2, Datagram(NetKind::Data, 3, 0, message));
    Append(records, 1, Datagram(NetKind::Data, 2, 0, message));
    Append(records, 5, Datagram(NetKind::Ack, 0, 1, {}));
    Append(records, 200, Datagram(NetKind::Heartbeat, 0, 1, {}));
    Append(records, 1, Datagram(NetKind::Offer, 0, 0, offer));
    std::ofstream(argv[2], std::ios::binary) << records;
    return 0;
}
