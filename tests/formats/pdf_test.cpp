#include "formats/pdf.h"

#include <gtest/gtest.h>

#include <string>

#include "carve/shared_checks.h"
#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;
using test::runEndCheck;

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

CarveCandidate recognised(const std::string& header) {
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recognisePdf, bytesOf(header), fresh), 1u) << header;
    return fresh;
}

TEST(RecognisePdf, IllustratorFilesAreNamedAi) {
    EXPECT_STREQ(recognised("%PDF-1.5\n%\xe2\xe3\n1 0 obj <</Creator (Adobe Illustrator CS6)>>").extension,
                 "ai");
    EXPECT_STREQ(recognised("%PDF-1.5\n1 0 obj <</Creator (Writer)>>").extension, "pdf");
    std::string late = "%PDF-1.4\n" + std::string(600, ' ') + "Illustrator";
    EXPECT_STREQ(recognised(late).extension, "pdf") << "only the first 512 bytes count";
}

TEST(RecognisePdf, LinearizedFileTakesItsLengthFromTheDictionary) {
    const CarveCandidate fresh = recognised("%PDF-1.5\n1 0 obj\n<</Linearized 1/L 123456/H [ 1 2 ]>>");
    EXPECT_EQ(fresh.expectedSize, 123456u);
    EXPECT_EQ(fresh.blockCheck, &blockCheckLinearizedPdf);
    EXPECT_EQ(fresh.endCheck, &endCheckLinearizedPdf);
    EXPECT_EQ(recognised("%PDF-1.5\n<< /Linearized 1 /L \r\n\t 77 >>").expectedSize, 77u);
}

TEST(RecognisePdf, DictionaryClosedBeforeAnyLengthIsNotLinearized) {
    const CarveCandidate fresh = recognised("%PDF-1.5\n<</Linearized 1>> 2 0 obj <</L 123>>");
    EXPECT_EQ(fresh.endCheck, &endCheckPdf);
    EXPECT_EQ(fresh.blockCheck, &blockCheckPdf);
    EXPECT_EQ(recognised("%PDF-1.5\n<</Linearized 1 /H [1 2]" + std::string(500, ' ') + "/L 9>>").endCheck,
              &endCheckPdf)
        << "/L past byte 512";
}

// Regression: "/Length" was taken for the length key, no digits followed, and
// the document got a length of 0 and was dropped.
TEST(RecognisePdf, OtherNamesStartingWithLAreNotTheLengthKey) {
    const CarveCandidate fresh = recognised("%PDF-1.5\n<</Linearized 1/Length 55/L 4242/H [1 2]>>");
    EXPECT_EQ(fresh.expectedSize, 4242u);
    const CarveCandidate noLength = recognised("%PDF-1.5\n%Linearized copies\n3 0 obj <</Length 300>>");
    EXPECT_EQ(noLength.endCheck, &endCheckPdf) << "no /L key: an ordinary PDF";
    EXPECT_EQ(recognised("%PDF-1.5\n<</Linearized 1/L /H>>").endCheck, &endCheckPdf) << "/L without a number";
}

// Regression: a long digit run overflowed the 64-bit length and wrapped it
// to an arbitrary small value.
TEST(RecognisePdf, OverlongLengthDoesNotWrapToASmallValue) {
    for (size_t zeros = 18; zeros < 60; ++zeros) {
        // 2 x 10^18 and more: one digit further, x 10 passes 2^64.
        const CarveCandidate fresh =
            recognised("%PDF-1.5\n<</Linearized 1/L 2" + std::string(zeros, '0') + ">>");
        EXPECT_GE(fresh.expectedSize, uint64_t{2000000000000000000}) << zeros;
        EXPECT_LE(fresh.expectedSize, uint64_t{1} << 62) << zeros;
    }
}

TEST(RecognisePdf, RealFiles) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recognisePdf, test::readFile(test::dataPath("pdf/linearized_note.pdf")), fresh),
              1u);
    EXPECT_EQ(fresh.expectedSize, 11690u);
    EXPECT_EQ(fresh.endCheck, &endCheckLinearizedPdf);
    for (const char* name : {"pdf/libreoffice_note.pdf", "samples/PDF.pdf", "samples/PDF2.pdf"}) {
        ASSERT_EQ(recogniseWindow(recognisePdf, test::readFile(test::dataPath(name)), fresh), 1u) << name;
        EXPECT_EQ(fresh.endCheck, &endCheckPdf) << name;
        EXPECT_STREQ(fresh.extension, "pdf") << name;
    }
    EXPECT_EQ(recogniseWindow(recognisePdf, bytesOf("%PDF-2.0\n"), fresh), 0u);
}

uint64_t endOfPdf(const std::string& written, uint64_t size) {
    CarveCandidate candidate;
    candidate.endCheck = endCheckPdf;
    candidate.size = size;
    runEndCheck(candidate, bytesOf(written));
    return candidate.size;
}

TEST(EndCheckPdf, KeepsTheLineEndAfterTheLastEof) {
    const std::string body = "%PDF-1.4\nstuff\n%%EOF";
    EXPECT_EQ(endOfPdf(body + "\r\n" + std::string(3000, '\0'), 4096), body.size() + 2);
    EXPECT_EQ(endOfPdf(body + "\n" + std::string(3000, '\0'), 4096), body.size() + 1);
    EXPECT_EQ(endOfPdf(body + "\r" + std::string(3000, '\0'), 4096), body.size() + 1);
    EXPECT_EQ(endOfPdf(body + "\n\n" + std::string(3000, '\0'), 4096), body.size() + 1);
    EXPECT_EQ(endOfPdf(body + std::string(3000, '\0'), 4096), body.size());
}

TEST(EndCheckPdf, CutsAfterTheLastOfSeveralEofsAndDropsAFileWithout) {
    const std::string updated = "%PDF-1.4\nA\n%%EOF\nupdate\n%%EOF\n";
    EXPECT_EQ(endOfPdf(updated + std::string(500, 'x'), 1024), updated.size());
    EXPECT_EQ(endOfPdf("%PDF-1.4\nno end" + std::string(500, 'x'), 512), 0u);
}

TEST(EndCheckPdf, FindsAnEofWhereverItFallsAroundA4096ByteChunk) {
    for (size_t at = 4090; at <= 4100; ++at) {
        std::string written = "%PDF-1.4\n" + std::string(at - 9, 'p') + "%%EOF\n";
        const uint64_t expected = written.size();
        written += std::string(8192 - written.size(), 'q');
        EXPECT_EQ(endOfPdf(written, 8192), expected) << at;
    }
}

uint64_t endOfLinearized(const std::string& written, uint64_t size, uint64_t expectedSize) {
    CarveCandidate candidate;
    candidate.endCheck = endCheckLinearizedPdf;
    candidate.size = size;
    candidate.expectedSize = expectedSize;
    runEndCheck(candidate, bytesOf(written));
    return candidate.size;
}

TEST(EndCheckLinearizedPdf, CutsAtTheDeclaredLengthWhenEofEndsIt) {
    const std::string file = "%PDF-1.5\n" + std::string(100, 'b') + "startxref\n9\n%%EOF\n";
    const std::string written = file + std::string(400, 'n');
    EXPECT_EQ(endOfLinearized(written, 512, file.size()), file.size());
    EXPECT_EQ(endOfLinearized(written, 512, file.size() - 25), 0u) << "no %EOF in the last 20 bytes";
    EXPECT_EQ(endOfLinearized(written, 512, 600), 0u) << "shorter than declared";
}

// Regression: seeking to expectedSize - 20 underflowed for a declared length
// below 20 bytes.
TEST(EndCheckLinearizedPdf, DeclaredLengthBelow20BytesDoesNotUnderflow) {
    EXPECT_EQ(endOfLinearized("%PDF-1.5 %EOF" + std::string(500, 'n'), 512, 13), 13u);
    EXPECT_EQ(endOfLinearized("%PDF-1.5" + std::string(500, 'n'), 512, 5), 0u);
    EXPECT_EQ(endOfLinearized("%PDF-1.5" + std::string(500, 'n'), 512, 0), 0u);
}

TEST(PdfFile, RealLinearizedFileIsCutAtItsLength) {
    std::vector<uint8_t> media = test::readFile(test::dataPath("pdf/linearized_note.pdf"));
    media.resize(media.size() + 9000, 'z');
    for (uint32_t blockSize : {512u, 4096u, 65536u}) {
        EXPECT_EQ(test::carve(recognisePdf, media, blockSize), 11690) << blockSize;
    }
}

// Regression: a linearised file that was edited afterwards (ExifTool
// appended an update after its declared length) came back without the edit.
TEST(PdfFile, LinearizedFileWithAnUpdateAfterItEndsAfterTheUpdate) {
    const std::vector<uint8_t> pdf = test::readFile(test::dataPath("pdf/linearized_updated_note.pdf"));
    ASSERT_EQ(pdf.size(), 15461u);
    for (const std::string& after : {std::string(9000, 'z'), std::string(9000, '\0')}) {
        std::vector<uint8_t> media = pdf;
        media.insert(media.end(), after.begin(), after.end());
        for (uint32_t blockSize : {512u, 4096u, 65536u})
            EXPECT_EQ(test::carve(recognisePdf, media, blockSize), 15461) << blockSize;
    }
}

// A PDF with an incremental update (ExifTool appends one) holds two "%EOF"
// markers; the file ends after the second, whatever follows it.
TEST(BlockCheckPdf, EndsAfterTheLastUpdateWhateverFollows) {
    const std::vector<uint8_t> pdf = test::readFile(test::dataPath("pdf/updated_note.pdf"));
    for (const uint32_t blockSize : {512u, 4096u}) {
        for (const std::string& after :
             {std::string(3000, '\0'), std::string("%PDF-1.4\nmore"),
              std::string("7 9 and text that is no object") + std::string(200, 'z'),
              std::string("JFIF and other bytes") + std::string(2000, 'x')}) {
            std::vector<uint8_t> media = pdf;
            media.insert(media.end(), after.begin(), after.end());
            CarveCandidate fresh;
            ASSERT_EQ(test::recogniseWindow(recognisePdf, media, fresh), 1u);
            const test::Followed followed = test::follow(fresh, media, blockSize);
            EXPECT_TRUE(followed.ended) << blockSize;
            EXPECT_EQ(fresh.expectedSize, pdf.size()) << blockSize;
        }
    }
}

}  // namespace
}  // namespace salvora
