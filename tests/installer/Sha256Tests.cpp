#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Sha256.h"

namespace {

std::string hex(const Sha256::Digest& digest)
{
    std::string text;
    for (std::uint8_t byte : digest) {
        text += "0123456789abcdef"[byte >> 4];
        text += "0123456789abcdef"[byte & 15];
    }
    return text;
}

Bytes bytesOf(const std::string& text)
{
    return Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Both ways of compressing, where the processor has the instructions.
std::vector<bool> ways()
{
    Sha256::useShaInstructions(true);
    return Sha256::hasShaInstructions() ? std::vector<bool>{false, true} : std::vector<bool>{false};
}

}  // namespace

TEST(Sha256, KnownDigestsEitherWay)
{
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (bool instructions : ways()) {
        Sha256::useShaInstructions(instructions);
        for (const auto& c : cases)
            EXPECT_EQ(hex(Sha256::of(bytesOf(c.message))), c.digest) << c.message.size() << " " << instructions;
    }
    Sha256::useShaInstructions(true);
}

// Every length around the block and padding edges, given in pieces of every size: one digest for all.
TEST(Sha256, PiecesAndWaysGiveTheSameDigest)
{
    std::mt19937 random(7);
    std::string data(1200, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 1200}) {
        const Bytes message = bytesOf(data).first(length);
        Sha256::useShaInstructions(false);
        const Sha256::Digest expected = Sha256::of(message);
        for (bool instructions : ways()) {
            Sha256::useShaInstructions(instructions);
            for (size_t piece : {1, 3, 63, 64, 100}) {
                Sha256 hash;
                for (size_t at = 0; at < length; at += piece)
                    hash.update(message.subspan(at, std::min(piece, length - at)));
                EXPECT_EQ(hash.finish(), expected) << length << " in pieces of " << piece << ", " << instructions;
            }
        }
    }
    Sha256::useShaInstructions(true);
}
