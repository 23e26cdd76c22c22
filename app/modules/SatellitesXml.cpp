#include "app/modules/SatellitesXml.h"

#include <QByteArray>
#include <QXmlStreamReader>

sky::SatelliteList ReadSatellitesXml(std::string_view bytes) {
    // The reader decodes the bytes itself, by the declaration or the byte
    // order mark; without either, as UTF-8. It is given the text a line at a
    // time: it decodes what it is given at once, so that a byte the encoding
    // does not allow is told on its own line rather than on the first.
    QXmlStreamReader xml;
    // Prefixes mean nothing in these lists: a name with a colon is just a name,
    // and an undeclared prefix no fault.
    xml.setNamespaceProcessing(false);
    std::size_t given = 0;
    sky::SatelliteListBuilder builder;
    sky::SatelliteListBuilder::Attributes attributes;
    while (true) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            attributes.clear();
            for (const QXmlStreamAttribute& a : xml.attributes())
                attributes.emplace_back(a.qualifiedName().toString().toStdString(), a.value().toString().toStdString());
            if (!builder.Start(xml.qualifiedName().toString().toStdString(), attributes, xml.lineNumber()))
                return builder.Finish();
            break;
        }
        case QXmlStreamReader::EndElement:
            builder.End();
            break;
        default:
            break;
        }
        if (!xml.atEnd()) continue;
        if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) break;
        if (given == bytes.size()) return builder.CutShort(xml.lineNumber());
        const std::size_t newline = bytes.find('\n', given);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
        xml.addData(QByteArray(bytes.data() + given, static_cast<qsizetype>(end - given)));
        given = end;
    }
    if (xml.hasError())
        return builder.Broken(xml.lineNumber(), "неверная разметка XML (" + xml.errorString().toStdString() + ")");
    return builder.Finish();
}
