// The shapes of e-mail and web addresses: which readings count as one, and
// how the stops that small print loses are put back.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "AddressForm.h"

namespace {

using namespace plat::ocr;

std::vector<Word> Words(const std::string& text) {
    std::vector<Word> words;
    std::istringstream in(text);
    std::string w;
    int x = 0;
    while (in >> w) {
        words.push_back({w, {x, 0, x + 10 * static_cast<int>(w.size()), 12}, 50});
        x += 10 * static_cast<int>(w.size()) + 6;
    }
    return words;
}

std::string Joined(const std::vector<Word>& words) {
    std::string out;
    for (const Word& w : words) out += (out.empty() ? "" : " ") + w.text;
    return out;
}

TEST(AddressForm, WellFormedAddresses) {
    const struct {
        const char* text;
        bool address;
    } cases[] = {
        {"avery.smith@contoso.com", true}, {"https://www.contoso.com/", true}, {"www.firm.co.uk", true},
        {"http://research.example.com/~a", false},  // no www: only the recogniser's word for it
        {"a@b@c.com", false},                     {"@contoso.com", false},        {"name@contoso", false},
        {"www..contoso.com", false},              {"www.contoso.c0m", false},     {"Contoso", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.address, IsAddressForm(c.text)) << c.text;
}

TEST(AddressForm, LostStopsAreMended) {
    const struct {
        const char* read;
        const char* mended;
    } cases[] = {
        {"j.bennett@westbrook com", "j.bennett@westbrook.com"},
        {"emma ramsey@westbrook co uk", "emma.ramsey@westbrook.co.uk"},
        {"george novak@ bluestone com", "george.novak@bluestone.com"},
        {"www westbrook co uk", "www.westbrook.co.uk"},
        {"wwe nordwind org", "www.nordwind.org"},       // three blurred w
        {"https //waw westbrook com/", "https://www.westbrook.com/"},
        {"https: www.contoso.com/", "https://www.contoso.com/"},
        {"www.redwood co.uk", "www.redwood.co.uk"},
        {"wrw. clearview org", "www.clearview.org"},    // the stop after the w's kept
        {"ww, clearview, org", "www.clearview.org"},    // stops blurred into commas
        {"wenn. nordwind com", "www.nordwind.com"},     // four letters for three w
        {"https://weww. harbourline net/", "https://www.harbourline.net/"},  // host read onto the scheme
        // Left as read: not an address's shape.
        {"Westbrook Media com", "Westbrook Media com"},   // no at sign, no www
        {"| bennett@westbrook com", "| bennett@westbrook com"},  // a stray mark
        {"wen nordwind", "wen nordwind"},                // no domain ending
        {"wonder nordwind com", "wonder nordwind com"},  // a word, not the w's
        {"w nordwind com", "w nordwind com"},
        {"a@b c@d com", "a@b c@d com"},                  // two at signs
        {"Tel 0171 com", "Tel 0171 com"},
    };
    for (const auto& c : cases) {
        std::vector<Word> words = Words(c.read);
        JoinSplitAddress(words);
        EXPECT_EQ(c.mended, Joined(words)) << c.read;
    }
}

TEST(AddressForm, BlurredWwwOfOneWord) {
    const struct {
        const char* read;
        const char* mended;  // empty: not a web address
    } cases[] = {
        {"wnn.clearview.org", "www.clearview.org"},
        {"ww,nordwind.com", "www.nordwind.com"},
        {"https://wvw.firm.co.uk/", "https://www.firm.co.uk/"},
        {"wonder.firm.com", ""},   // a host name, not the w's
        {"wnn.clearview", ""},     // no domain ending after it
        {"name@wnn.firm.com", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.mended, WithWwwMended(c.read)) << c.read;
}

TEST(AddressForm, DomainEndings) {
    const struct {
        const char* read;
        bool known;
        const char* mended;
    } cases[] = {
        {"www.oakmont.org", true, "www.oakmont.org"},
        {"a@firm.co.uk", true, "a@firm.co.uk"},
        {"https://www.firm.com/team", true, "https://www.firm.com/team"},
        {"www.oakmont.ord", false, "www.oakmont.org"},
        {"name@firm.cpm", false, "name@firm.com"},
        {"name@firm.cam", false, "name@firm.cam"},  // endings in use stay
        {"info@hillside.vet", false, "info@hillside.vet"},
        {"www.hillside.pet", false, "www.hillside.pet"},
        {"https://www.firm.new/", false, "https://www.firm.new/"},
        {"https://www.firm.nct/", false, "https://www.firm.net/"},
        {"https://www.firm.comy/", false, "https://www.firm.comy/"},  // four letters: left alone
        {"www.firm.oet", false, "www.firm.net"},
        {"www.firm.dev", false, "www.firm.dev"},  // two letters off every one
        {"name@firm.xyz", false, "name@firm.xyz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.known, EndsInKnownDomain(c.read)) << c.read;
        EXPECT_EQ(c.mended, WithEndingMended(c.read)) << c.read;
    }
}

TEST(AddressForm, HostInSmallLetters) {
    const struct {
        const char* read;
        const char* lowered;
    } cases[] = {
        {"www.Clearview.ORG", "www.clearview.org"},
        {"Anna.Walker@Nordwind.com", "Anna.Walker@nordwind.com"},  // the name's case is the card's
        {"https://WWW.Firm.com/Team/A", "https://www.firm.com/Team/A"},
        {"http://research.Firm.com/~Zorn", "http://research.firm.com/~Zorn"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.lowered, WithLowerHost(c.read)) << c.read;
}

TEST(AddressForm, MendedWordSpansTheLine) {
    std::vector<Word> words = Words("www westbrook com");
    const int right = words.back().box.right;
    words[1].confidence = 12;
    JoinSplitAddress(words);
    ASSERT_EQ(1u, words.size());
    EXPECT_EQ(0, words[0].box.left);
    EXPECT_EQ(right, words[0].box.right);
    EXPECT_EQ(12, words[0].confidence);
}

}  // namespace
