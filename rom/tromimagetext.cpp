#include "rom/tromimagetext.h"

#include "project/tsettingstable.h"
#include "util/eygeneral.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringDecoder>

namespace DpuRom {

using DpuProject::TSettingsTable;

namespace {

const char* const States[TRomImageText::StateCount] = {
    "FIRE",     "QUAKE", "ALARM", "OUT_OF_SERVICE", "OVERLOAD",
    "MAINTAIN", "FULL",  "VIP",   "PARKING",        "IND"};

// Slot order of the message list: B, A, D, C (slot index 1, 0, 3, 2).
const int ListSlots[4] = {1, 0, 3, 2};

std::string Printable(const std::string& Text) {
    std::string out;
    for (unsigned char c : Text)
        out += c > 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c))
                                    : YVclUtil::Format("<%02X>", c);
    return out;
}

const char* SourceText(TRomImage::TSource Source) {
    switch (Source) {
    case TRomImage::TSource::Image:
        return "image";
    case TRomImage::TSource::Library:
        return "library";
    default:
        return "assumed";
    }
}

QString Hex(const std::vector<uint8_t>& Bytes) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(Bytes.data()),
                                          static_cast<qsizetype>(Bytes.size()))
                                   .toHex());
}

QJsonObject PictureJson(const TRomPicture& P) {
    QJsonObject o;
    o["offset"] = static_cast<qint64>(P.Offset);
    o["length"] = static_cast<qint64>(P.Length);
    o["width"] = P.Width;
    o["height"] = P.Height;
    o["turned"] = P.Turned;
    o["data"] = Hex(P.Bytes);
    return o;
}

std::string Latin1(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size())).toStdString();
}

} // namespace

std::string TRomImageText::StateName(int State) {
    return State >= 0 && State < StateCount ? States[State] : "?";
}

void TRomImageText::MessageSlot(int Index, int& State, int& Slot) {
    State = Index % StateCount;
    Slot = ListSlots[(Index / StateCount) & 3];
}

std::string TRomImageText::MessageName(int Index) {
    int state = 0, slot = 0;
    MessageSlot(Index, state, slot);
    return "message " + StateName(state) + " slot " + std::string(1, static_cast<char>('A' + slot));
}

std::string TRomImageText::CodeName(int Table, int Code) {
    return YVclUtil::Format("CTBL%d code %d (%02X)", Table, Code, Code & 0xFF);
}

std::string TRomImageText::CodeText(const TRomImage& Image, int Table, int Code) {
    const TRomCode& c = Image.Codes[static_cast<size_t>(Table)][static_cast<size_t>(Code)];
    switch (c.Kind) {
    case TRomCode::TKind::Glyphs:
        return Printable(c.Label);
    case TRomCode::TKind::UserBitmap: {
        const size_t u = static_cast<size_t>(c.UserBitmap);
        if (u < Image.UserBitmapLabels.size() && !Image.UserBitmapLabels[u].empty())
            return Image.UserBitmapLabels[u];
        return "user bitmap " + std::to_string(c.UserBitmap);
    }
    default:
        return "nothing";
    }
}

std::string TRomImageText::CodeTextAsTyped(const TRomImage& Image, int Table, int Code) {
    const TRomCode& c = Image.Codes[static_cast<size_t>(Table)][static_cast<size_t>(Code)];
    if (c.Kind != TRomCode::TKind::Glyphs) return CodeText(Image, Table, Code);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArray::fromStdString(c.Label));
    if (utf8.hasError())
        text = QString::fromLatin1(c.Label.data(), static_cast<qsizetype>(c.Label.size()));
    QString out;
    for (const QChar ch : text)
        out += ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() < 0xA0)
                   ? QString::asprintf("<%02X>", ch.unicode())
                   : QString(ch);
    return out.toStdString();
}

std::vector<std::pair<std::string, std::string>> TRomImageText::Settings(const TRomImage& Image) {
    const TRomSettings& s = Image.Settings;
    std::vector<std::pair<std::string, std::string>> out;
    // The identification code fills bytes 6 to 9 of the record and is shown in
    // that place, between the logo and the message position.
    bool idShown = false;
    auto showId = [&] {
        if (!idShown) out.emplace_back("CUSIDCODE", "\"" + Printable(s.CusIdCode) + "\"");
        idShown = true;
    };
    for (const TSettingsTable::TField* f : TSettingsTable::RecordFields()) {
        if (f->RecordByte > 9) showId();
        out.emplace_back(f->Key, TSettingsTable::ValueText(*f, s.*(f->Member)));
    }
    showId();
    out.emplace_back("ENCODE",
                     std::to_string(s.Encode) + " (" + SourceText(Image.EncodeSource) + ")");
    out.emplace_back("DISPHV",
                     std::to_string(s.DispHv) + " (" + SourceText(Image.DispHvSource) + ")");
    out.emplace_back("DEF_FL",
                     std::to_string(s.DEF_FL) + " (" + SourceText(Image.DefFlSource) + ")");
    return out;
}

std::string TRomImageText::Summary(const TRomImage& Image, const std::string& FileName) {
    std::string out = "ROM image " + FileName + "\n\nSettings:\n";
    for (const auto& [key, value] : Settings(Image))
        out += "  " + key + ": " + value + "\n";

    int glyphs = 0, frames = 0;
    for (const TRomPicture& p : Image.Glyphs)
        glyphs += p.Present();
    for (const auto& style : Image.DirFrames)
        for (const TRomPicture& p : style)
            frames += p.Present();
    out += YVclUtil::Format(
        "\nPictures: %d floor glyphs, %zu user bitmaps, %d messages, %d direction frames, logo "
        "%s\n",
        glyphs, Image.UserBitmaps.size(), Image.MessagePictures, frames,
        Image.LogoZoneSet ? "set" : "empty");
    for (size_t u = 0; u < Image.UserBitmaps.size(); ++u) {
        const TRomPicture& p = Image.UserBitmaps[u];
        out +=
            YVclUtil::Format("  user bitmap %zu: %s, %d x %d at 0x%04zX\n", u,
                             Image.UserBitmapLabels[u].empty() ? "(no stock bitmap matches)"
                                                               : Image.UserBitmapLabels[u].c_str(),
                             p.Width, p.Height, p.Offset);
    }
    // The list keeps only the order; slot names hold exactly when all 40 are filled.
    if (Image.MessagePictures == TRomImage::MessageCount)
        out += "  messages: every slot, B, A, D, C by state\n";
    else
        for (int i = 0; i < TRomImage::MessageCount; ++i)
            if (Image.Messages[static_cast<size_t>(i)].Present())
                out += YVclUtil::Format("  message entry %2d: %s\n", i,
                                        MessageName(i).substr(8).c_str());

    for (int t = 0; t < TRomImage::TableCount; ++t) {
        out +=
            YVclUtil::Format("\nCTBL%d%s:\n", t, t == Image.Settings.DEF_CTBL ? " (default)" : "");
        int shown = 0;
        for (int n = 0; n < TRomImage::CodeCount; ++n) {
            if (Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)].Kind ==
                TRomCode::TKind::Nothing)
                continue;
            out += YVclUtil::Format("  code %3d (%02X): %s\n", n, n, CodeText(Image, t, n).c_str());
            ++shown;
        }
        if (shown == 0) out += "  (no code set)\n";
    }
    if (!Image.Notes.empty()) {
        out += "\nNotes:\n";
        for (const std::string& n : Image.Notes)
            out += "  " + n + "\n";
    }
    return out;
}

std::string TRomImageText::Json(const TRomImage& Image, const std::string& FileName) {
    QJsonObject root;
    root["file"] = QString::fromStdString(FileName);
    root["valid"] = true;

    const TRomSettings& s = Image.Settings;
    QJsonObject settings;
    settings["record"] = Hex(std::vector<uint8_t>(Image.Record.begin(), Image.Record.end()));
    for (const TSettingsTable::TField* f : TSettingsTable::RecordFields())
        settings[f->JsonName] = s.*(f->Member);
    settings["CUSIDCODE"] = QString::fromStdString(Latin1(s.CusIdCode));
    root["settings"] = settings;

    auto found = [](int Value, TRomImage::TSource Source) {
        QJsonObject o;
        o["value"] = Value;
        o["source"] = SourceText(Source);
        return o;
    };
    root["ENCODE"] = found(s.Encode, Image.EncodeSource);
    root["DISPHV"] = found(s.DispHv, Image.DispHvSource);
    root["DEF_FL"] = found(s.DEF_FL, Image.DefFlSource);

    QJsonArray tables;
    for (int t = 0; t < TRomImage::TableCount; ++t) {
        QJsonArray codes;
        for (int n = 0; n < TRomImage::CodeCount; ++n) {
            const TRomCode& c = Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
            if (c.Kind == TRomCode::TKind::Nothing) continue;
            QJsonObject o;
            o["code"] = n;
            o["first"] = c.First;
            o["second"] = c.Second;
            if (c.Kind == TRomCode::TKind::Glyphs) {
                o["kind"] = "glyphs";
                o["label"] = QString::fromStdString(Latin1(c.Label));
            } else {
                o["kind"] = "user_bitmap";
                o["user_bitmap"] = c.UserBitmap;
            }
            codes.append(o);
        }
        QJsonObject table;
        table["name"] = QString("CTBL%1").arg(t);
        table["codes"] = codes;
        tables.append(table);
    }
    root["tables"] = tables;

    QJsonArray glyphs;
    for (int c = 0; c < TRomImage::GlyphCount; ++c)
        if (Image.Glyphs[static_cast<size_t>(c)].Present()) {
            QJsonObject o = PictureJson(Image.Glyphs[static_cast<size_t>(c)]);
            o["code"] = c;
            glyphs.append(o);
        }
    root["floor_glyphs"] = glyphs;

    QJsonArray users;
    for (size_t u = 0; u < Image.UserBitmaps.size(); ++u) {
        QJsonObject o = PictureJson(Image.UserBitmaps[u]);
        o["number"] = static_cast<int>(u);
        o["label"] = Image.UserBitmapLabels[u].empty()
                         ? QJsonValue()
                         : QString::fromStdString(Image.UserBitmapLabels[u]);
        users.append(o);
    }
    root["user_bitmaps"] = users;

    QJsonArray messages;
    for (int i = 0; i < TRomImage::MessageCount; ++i)
        if (Image.Messages[static_cast<size_t>(i)].Present()) {
            QJsonObject o = PictureJson(Image.Messages[static_cast<size_t>(i)]);
            int state = 0, slot = 0;
            MessageSlot(i, state, slot);
            o["entry"] = i;
            o["state"] = QString::fromStdString(StateName(state));
            o["slot"] = QString(QChar('A' + slot));
            messages.append(o);
        }
    root["messages"] = messages;

    QJsonArray frames;
    for (int st = 0; st < TRomImage::DirStyleCount; ++st)
        for (int f = 0; f < TRomImage::DirFrameCount; ++f)
            if (Image.DirFrames[static_cast<size_t>(st)][static_cast<size_t>(f)].Present()) {
                QJsonObject o =
                    PictureJson(Image.DirFrames[static_cast<size_t>(st)][static_cast<size_t>(f)]);
                o["style"] = st;
                o["frame"] = f;
                frames.append(o);
            }
    root["direction_frames"] = frames;

    QJsonObject logo = PictureJson(Image.Logo);
    logo["set"] = Image.LogoZoneSet;
    root["logo"] = logo;

    QJsonArray small;
    for (const TRomPicture& p : Image.SmallGlyphs)
        if (p.Present()) small.append(PictureJson(p));
    root["small_glyphs"] = small;
    root["screen"] = PictureJson(Image.Screen);
    root["character_block"] = Hex(Image.CharBlock);
    root["auxiliary_block"] = Hex(Image.AuxBlock);

    QJsonArray notes;
    for (const std::string& n : Image.Notes)
        notes.append(QString::fromStdString(n));
    root["notes"] = notes;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string TRomImageText::JsonRefusal(const std::string& FileName, const std::string& Reason,
                                       size_t Offset) {
    QJsonObject root;
    root["file"] = QString::fromStdString(FileName);
    root["valid"] = false;
    root["error"] = QString::fromStdString(Reason);
    root["offset"] = static_cast<qint64>(Offset);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace DpuRom
