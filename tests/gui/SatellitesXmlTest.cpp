// The satellites.xml reader on lists as set-top boxes and their editors
// write them, and on texts that are not XML.
#include "app/modules/SatellitesXml.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Message(std::string_view text) {
    const sky::SatelliteList list = ReadSatellitesXml(text);
    return list ? "accepted" : list.error;
}

}  // namespace

TEST(SatellitesXml, ReadsListsInTheFormsTheyComeIn) {
    // Latin-1 as declared ("\xE9" is é), a DTD's entity, character references,
    // attributes in any order and quoted either way, elements and attributes
    // of other kinds passed over, a transponder with a letter for its
    // polarisation skipped.
    const sky::SatelliteList list = ReadSatellitesXml(
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
        "<!DOCTYPE satellites [<!ENTITY hb \"Hot Bird\">]>\r\n"
        "<!-- made by hand -->\r\n"
        "<satellites version=\"2\">\r\n"
        "  <sat flags=\"1\" position=\"130\" name=\"&hb; 13B (13.0E)\">\r\n"
        "    <transponder polarization=\"1\" symbol_rate=\"27500000\" frequency=\"12111000\" fec_inner=\"3\"/>\r\n"
        "    <transponder frequency='10719000' symbol_rate='27500000' polarization='0' system='1'/>\r\n"
        "    <note>not a transponder <transponder frequency=\"1\"/></note>\r\n"
        "    <transponder frequency=\"4000000\" symbol_rate=\"3000000\" polarization=\"3\"></transponder>\r\n"
        "  </sat>\r\n"
        "  <sat name=\"180.0E Caf\xE9 &amp; Co &#x2116;&#49;\" position=\"1801\">\r\n"
        "    <transponder frequency=\"3700000\" symbol_rate=\"3000000\" polarization=\"H\"/>\r\n"
        "    <transponder frequency=\"3800000\" symbol_rate=\"3000000\" polarization=\"2\"/>\r\n"
        "  </sat>\r\n"
        "  <group><sat name=\"Elsewhere\" position=\"100\"/></group>\r\n"
        "</satellites>\r\n");
    ASSERT_TRUE(list) << list.error;
    ASSERT_EQ(list.plans.size(), 3u);
    EXPECT_EQ(list.plans[0].position + " " + list.plans[0].name, "13.0E Hot Bird 13B");
    EXPECT_FALSE(list.plans[0].cBand);
    ASSERT_EQ(list.plans[0].transponders.size(), 2u);
    EXPECT_DOUBLE_EQ(list.plans[0].transponders[0].frequency, 10719);
    EXPECT_EQ(list.plans[0].transponders[1].polarisation, sky::Polarisation::V);
    EXPECT_TRUE(list.plans[1].cBand);
    EXPECT_EQ(list.plans[1].name, "Hot Bird 13B");
    EXPECT_EQ(list.plans[2].position + " " + list.plans[2].name, "180.0E Café & Co №1");
    EXPECT_EQ(list.plans[2].transponders.size(), 1u);
    EXPECT_EQ(sky::LoadedText(list),
              "Загружено: 2 позиции, 4 транспондера; пропущено записей: 1 (строка 12: неверная поляризация)");

    // UTF-8 without a declaration, with a byte order mark.
    const sky::SatelliteList utf8 = ReadSatellitesXml(
        "\xEF\xBB\xBF<satellites><sat name=\"Экспресс АМ6\" position=\"530\"><transponder frequency=\"10974000\" "
        "symbol_rate=\"1100000\" polarization=\"0\"/></sat></satellites>");
    ASSERT_TRUE(utf8) << utf8.error;
    EXPECT_EQ(utf8.plans[0].name, "Экспресс АМ6");
}

TEST(SatellitesXml, ATextThatIsNotAWholeListIsRefusedWithItsLine) {
    const std::string head = "<satellites>\n<sat name=\"A\" position=\"130\">\n";
    const std::string tp = "<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"0\"/>\n";
    EXPECT_EQ(Message(head + tp + "</sat></satellites>"), "accepted");
    EXPECT_EQ(Message(head + tp + "<transponder frequency=\"1"), "строка 4: файл оборван внутри <sat>");
    EXPECT_EQ(Message(head + tp + "</sat>"), "строка 4: файл оборван внутри <satellites>");
    EXPECT_EQ(Message(""), "строка 1: в файле нет элемента <satellites>");
    // Not well-formed on line 3: Qt's words for it, in parentheses.
    for (const char* broken : {"</satellites></sat>", "<sat name=\"a<b\"/>", "<sat a='1' a='2'/>",
                               "<sat name=\"&bogus;\"/>", "\xFF"}) {
        const std::string message = Message(head + broken + "\n" + tp);
        EXPECT_TRUE(message.starts_with("строка 3: неверная разметка XML (")) << message;
    }
    EXPECT_TRUE(Message("junk\n" + head).starts_with("строка 1: неверная разметка XML ("));
    EXPECT_EQ(Message("<html>" + tp + "</html>"), "строка 1: корневой элемент не <satellites>");
    EXPECT_EQ(Message("<satellites>\n</satellites>"), "строка 1: в списке нет ни одного спутника");
}
