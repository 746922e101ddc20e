// Every command of the channel against a scripted device: results stay within the documented
// set, no buffer is overrun, requests are well formed, and a command that reports success
// sent exactly its data.

#include <vector>

#include "fuzz/scripted_device.h"

using tellune::fuzz::is_channel_result;
using tellune::fuzz::ScriptedRig;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScriptedRig rig(data, size);
    tellune::hid::CCommandChannel& channel = rig.channel;
    tellune::fuzz::Script& script = rig.script;
    // Data to send: a pattern, so a chunk sent from the wrong place shows.
    std::vector<uint8_t> pattern(1024);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 1);

    while (!script.empty()) {
        const uint8_t op = script.byte() % 16;
        const size_t before = rig.backend.requests.size();
        int result = 1;
        switch (op) {
            case 0:
                result = channel.SimpleCommand1();
                break;
            case 1:
                result = channel.SimpleCommand2();
                break;
            case 2:
                result = channel.SimpleCommand28();
                break;
            case 3: {
                std::array<uint8_t, 32> info{};
                uint16_t word = 0;
                result = channel.ReadInfo(info, word);
                break;
            }
            case 4: {
                const int index = script.byte() % 3 == 0 ? 1 : 0;
                // Exactly what the block size asks for, or one byte short.
                const bool short_by_one = script.byte() % 4 == 0 && channel.BlockSize() > 0;
                const size_t n = channel.BlockSize() - (short_by_one ? 1 : 0);
                const std::vector<uint8_t> block(pattern.begin(), pattern.begin() + long(n));
                result = channel.WriteBlock(block, index);
                if (index != 0 || n < channel.BlockSize()) FUZZ_CHECK(result == -201);
                if (result == 1) {
                    FUZZ_CHECK(rig.sent_payload(9, before) == block);
                }
                break;
            }
            case 5:
            case 6: {
                const size_t n = script.word() % 600;
                const std::vector<uint8_t> buffer(pattern.begin(), pattern.begin() + long(n));
                result =
                    op == 5 ? channel.WriteBuffer(buffer) : channel.WriteBufferUnlocked(buffer);
                if (result == 1) FUZZ_CHECK(rig.sent_payload(op == 5 ? 21 : 23, before) == buffer);
                break;
            }
            case 7: {
                std::vector<uint8_t> out(channel.BlockSize());
                result = channel.ReadBlock(out);
                break;
            }
            case 8: {
                std::vector<uint8_t> out(channel.BlockSize() / 3);
                result = channel.ReadThirdBlock(out);
                break;
            }
            case 9: {
                const size_t n = script.word() % 600;
                const int record = script.byte();
                const int record_size = script.byte();
                const std::vector<uint8_t> buffer(pattern.begin(), pattern.begin() + long(n));
                result = channel.WriteIndexed(buffer, record, record_size);
                if (result == 1) FUZZ_CHECK(rig.sent_payload(11, before) == buffer);
                break;
            }
            case 10: {
                const size_t n = script.word() % 600;
                const std::vector<uint8_t> frame(pattern.begin(), pattern.begin() + long(n));
                result = channel.WriteLightFrame(frame);
                // Not sent at all over the wireless receiver.
                if (channel.IsWireless()) FUZZ_CHECK(rig.backend.requests.size() == before);
                break;
            }
            case 11: {
                const size_t n = script.word() % 600;
                const int base = script.word();
                const std::vector<uint8_t> buffer(pattern.begin(), pattern.begin() + long(n));
                result = channel.WriteAt(buffer, base);
                if (result == 1) FUZZ_CHECK(rig.sent_payload(6, before) == buffer);
                break;
            }
            case 12: {
                std::vector<uint8_t> out(script.word() % 600);
                result = channel.ReadAt(out, script.word());
                break;
            }
            case 13: {
                std::vector<uint8_t> out(script.byte() % 64);
                result = channel.ReadRange(out, script.word());
                if (out.size() > 56) FUZZ_CHECK(result == -201);
                break;
            }
            case 14:
                channel.Probe();
                break;
            case 15: {
                const uint16_t n = script.word() % 1024;
                const uint16_t old = channel.BlockSize();
                result = channel.SetBlockSize(n);
                FUZZ_CHECK(result == (n <= 512 ? 1 : 0));
                FUZZ_CHECK(channel.BlockSize() == (n <= 512 ? n : old));
                channel.SetWireless(script.byte() & 1);
                break;
            }
        }
        FUZZ_CHECK(is_channel_result(result));
        // -201 is decided before anything is sent.
        if (result == -201) FUZZ_CHECK(rig.backend.requests.size() == before);
        FUZZ_CHECK(!channel.IsBusy());
    }
    return 0;
}
