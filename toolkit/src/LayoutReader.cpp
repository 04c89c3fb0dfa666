// Reads a form's layout description: a JSON document that names the form's class, sets its
// properties, and lists its controls in the order they are created. Every name in it must be
// known; an unknown one fails the form's creation with an Exception that names it.

#include "FormWindow.h"
#include "toolkit/Button.h"
#include "toolkit/Exception.h"
#include "toolkit/Form.h"
#include "toolkit/Image.h"
#include "toolkit/Timer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPalette>
#include <QScreen>
#include <QSet>

#include <cmath>

namespace {

const char *const LayoutFolder = ":/layouts";

std::string Quoted(const QString &text) { return "'" + text.toStdString() + "'"; }

// Where a value sits, for messages: "property 'Left' of 'Image'".
struct Place {
    QString property;
    QString owner;
    std::string Describe() const { return "property " + Quoted(property) + " of " + Quoted(owner); }
};

int Integer(const QJsonValue &value, const Place &place)
{
    const double number = value.toDouble(NAN);
    if (!value.isDouble() || number != std::trunc(number) || std::abs(number) > 1e9)
        throw Exception("The " + place.Describe() + " needs a whole number");
    return static_cast<int>(number);
}

QString Text(const QJsonValue &value, const Place &place)
{
    if (!value.isString())
        throw Exception("The " + place.Describe() + " needs a text");
    return value.toString();
}

bool Boolean(const QJsonValue &value, const Place &place)
{
    if (!value.isBool())
        throw Exception("The " + place.Describe() + " needs true or false");
    return value.toBool();
}

QPalette::ColorRole SystemColour(const QJsonValue &value, const Place &place)
{
    const QString name = Text(value, place);
    if (name == "clBtnFace")
        return QPalette::Button;
    if (name == "clWindowText")
        return QPalette::WindowText;
    throw Exception("Unknown colour " + Quoted(name) + " for the " + place.Describe());
}

class LayoutReader
{
public:
    LayoutReader(TForm &form, const TPublishedNames &published)
        : form(form), published(published)
    {
    }

    void Read(const QJsonObject &root)
    {
        const QString className = root.value("class").toString();
        if (className.toStdString() != published.ClassName)
            throw Exception("The layout describes class " + Quoted(className) + ", not " +
                            published.ClassName);
        form.SetName(root.value("name").toString().toStdString());
        ReadForm(root.value("properties").toObject());
        for (const QJsonValue control : root.value("controls").toArray())
            ReadControl(control.toObject());
        for (const auto &field : published.Fields)
            if (!bound.contains(QString::fromStdString(field.first)))
                throw Exception("The layout of " + published.ClassName +
                                " has no control for the field '" + field.first + "'");
    }

private:
    // Positions and sizes are given in pixels of a screen with the layout's PixelsPerInch; this
    // screen may have more. Controls are placed in screen pixels, the window and its font in Qt's
    // device-independent ones.
    int ScreenPixels(int designPixels) const
    {
        return static_cast<int>(std::lround(designPixels * screenScale));
    }
    int WindowPixels(int designPixels) const
    {
        return static_cast<int>(std::lround(designPixels * screenScale / pixelRatio));
    }

    void ReadForm(const QJsonObject &properties)
    {
        QWidget *window = form.Handle();
        const QString owner = QString::fromStdString(form.GetName());
        const double screenPixelsPerInch =
            window->screen()->logicalDotsPerInch() * window->devicePixelRatioF();
        const int designPixelsPerInch =
            Integer(properties.value("PixelsPerInch"), {"PixelsPerInch", owner});
        if (designPixelsPerInch <= 0)
            throw Exception("The property 'PixelsPerInch' of " + Quoted(owner) +
                            " must be positive");
        screenScale = screenPixelsPerInch / designPixelsPerInch;
        pixelRatio = window->devicePixelRatioF();

        QPalette palette = window->palette();
        QFont font = window->font();
        QPoint position;
        QSize outerSize = window->size();
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            const QString &name = it.key();
            const QJsonValue value = it.value();
            const Place place{name, owner};
            if (name == "Left")
                position.setX(Integer(value, place));
            else if (name == "Top")
                position.setY(Integer(value, place));
            else if (name == "Width")
                outerSize.setWidth(WindowPixels(Integer(value, place)));
            else if (name == "Height")
                outerSize.setHeight(WindowPixels(Integer(value, place)));
            else if (name == "Caption")
                window->setWindowTitle(Text(value, place));
            else if (name == "Color")
                palette.setColor(QPalette::Window,
                                 QApplication::palette().color(SystemColour(value, place)));
            else if (name == "Font.Color")
                palette.setColor(QPalette::WindowText,
                                 QApplication::palette().color(SystemColour(value, place)));
            else if (name == "Font.Name")
                SetFontName(font, Text(value, place));
            else if (name == "Font.Height")
                SetFontHeight(font, Integer(value, place), place);
            else if (name == "Font.Charset")
                CheckCharset(Text(value, place), place);
            else if (name == "Font.Style")
                SetFontStyle(font, value, place);
            else if (name == "PixelsPerInch")
                continue; // read first, above
            else if (name == "TextHeight" && Integer(value, place) > 0)
                continue; // design-time line height: scaling follows PixelsPerInch alone
            else if (name == "OldCreateOrder")
                Boolean(value, place); // orders creation events, of which forms here have none
            else if (name == "OnClose")
                form.OnClose = CloseHandler(value, place);
            else
                throw UnknownProperty(name, owner, "TForm");
        }
        window->setPalette(palette);
        window->setFont(font);
        window->move(position);
        static_cast<FormWindow *>(window)->SetOuterSize(outerSize);
    }

    static void SetFontName(QFont &font, const QString &name)
    {
        // Where the named font is missing, fontconfig's nearest sans serif face serves, and it
        // falls back per character for scripts the face lacks, CJK among them.
        font.setFamilies({name, "Microsoft Sans Serif", "DejaVu Sans", "Noto Sans"});
        font.setStyleHint(QFont::SansSerif);
    }

    void SetFontHeight(QFont &font, int height, const Place &place) const
    {
        // A negative height is the height of the characters in pixels; a positive one would
        // include the line's leading, which Qt has no setting for.
        if (height >= 0)
            throw Exception("The " + place.Describe() + " must be a negative character height");
        font.setPixelSize(std::max(1, WindowPixels(-height)));
    }

    static void CheckCharset(const QString &charset, const Place &place)
    {
        // Qt draws Unicode text in every font, so the default character set is the only one.
        if (charset != "DEFAULT_CHARSET")
            throw Exception("Unknown character set " + Quoted(charset) + " for the " +
                            place.Describe());
    }

    static void SetFontStyle(QFont &font, const QJsonValue &value, const Place &place)
    {
        if (!value.isArray())
            throw Exception("The " + place.Describe() + " needs a list of styles");
        for (const QJsonValue style : value.toArray()) {
            const QString name = Text(style, place);
            if (name == "fsBold")
                font.setBold(true);
            else if (name == "fsItalic")
                font.setItalic(true);
            else if (name == "fsUnderline")
                font.setUnderline(true);
            else if (name == "fsStrikeOut")
                font.setStrikeOut(true);
            else
                throw Exception("Unknown font style " + Quoted(name) + " for the " +
                                place.Describe());
        }
    }

    void ReadControl(const QJsonObject &description)
    {
        const QString className = description.value("class").toString();
        const QString name = description.value("name").toString();
        const QJsonObject properties = description.value("properties").toObject();
        TComponent *component = nullptr;
        if (className == "TImage")
            component = ReadImage(properties, name);
        else if (className == "TButton")
            component = ReadButton(properties, name);
        else if (className == "TTimer")
            component = ReadTimer(properties, name);
        else
            throw Exception("Unknown class " + Quoted(className) + " of " + Quoted(name) +
                            " in the layout of " + published.ClassName);
        component->SetName(name.toStdString());
        Bind(component, name, className);
    }

    TComponent *ReadImage(const QJsonObject &properties, const QString &name)
    {
        auto *image = new TImage(&form);
        PutOnForm(image);
        for (auto it = properties.begin(); it != properties.end(); ++it)
            if (!SetBounds(*image, it.key(), it.value(), name))
                throw UnknownProperty(it.key(), name, "TImage");
        return image;
    }

    TComponent *ReadButton(const QJsonObject &properties, const QString &name)
    {
        auto *button = new TButton(&form);
        PutOnForm(button);
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            const Place place{it.key(), name};
            if (SetBounds(*button, it.key(), it.value(), name))
                continue;
            if (it.key() == "Caption")
                button->SetCaption(Text(it.value(), place).toStdString());
            else if (it.key() == "TabOrder")
                button->SetTabOrder(Integer(it.value(), place));
            else if (it.key() == "OnClick")
                button->OnClick = NotifyHandler(it.value(), place);
            else
                throw UnknownProperty(it.key(), name, "TButton");
        }
        return button;
    }

    TComponent *ReadTimer(const QJsonObject &properties, const QString &name)
    {
        auto *timer = new TTimer(&form);
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            const Place place{it.key(), name};
            if (it.key() == "Enabled")
                timer->SetEnabled(Boolean(it.value(), place));
            else if (it.key() == "Interval")
                timer->SetInterval(Integer(it.value(), place));
            else if (it.key() == "OnTimer")
                timer->OnTimer = NotifyHandler(it.value(), place);
            else if (it.key() == "Left" || it.key() == "Top")
                Integer(it.value(), place); // where the timer sits at design time only
            else
                throw UnknownProperty(it.key(), name, "TTimer");
        }
        return timer;
    }

    void PutOnForm(TControl *control)
    {
        // Created in the layout's order, so that a control listed later is in front.
        control->Handle()->setParent(form.ClientHandle());
        control->Handle()->show();
    }

    bool SetBounds(TControl &control, const QString &property, const QJsonValue &value,
                   const QString &owner)
    {
        const Place place{property, owner};
        if (property == "Left")
            control.SetLeft(ScreenPixels(Integer(value, place)));
        else if (property == "Top")
            control.SetTop(ScreenPixels(Integer(value, place)));
        else if (property == "Width")
            control.SetWidth(ScreenPixels(Integer(value, place)));
        else if (property == "Height")
            control.SetHeight(ScreenPixels(Integer(value, place)));
        else
            return false;
        return true;
    }

    void Bind(TComponent *component, const QString &name, const QString &className)
    {
        const auto field = published.Fields.find(name.toStdString());
        if (field == published.Fields.end())
            throw Exception("Unknown field " + Quoted(name) + ": " + published.ClassName +
                            " publishes no field of that name");
        if (!field->second(form, component))
            throw Exception("The field " + Quoted(name) + " of " + published.ClassName +
                            " cannot hold a " + className.toStdString());
        bound.insert(name);
    }

    TNotifyEvent NotifyHandler(const QJsonValue &value, const Place &place)
    {
        const std::string name = Text(value, place).toStdString();
        const auto handler = published.NotifyHandlers.find(name);
        if (handler == published.NotifyHandlers.end())
            throw UnknownHandler(name, place);
        return handler->second(form);
    }

    TCloseEvent CloseHandler(const QJsonValue &value, const Place &place)
    {
        const std::string name = Text(value, place).toStdString();
        const auto handler = published.CloseHandlers.find(name);
        if (handler == published.CloseHandlers.end())
            throw UnknownHandler(name, place);
        return handler->second(form);
    }

    Exception UnknownHandler(const std::string &name, const Place &place) const
    {
        const bool otherKind = published.NotifyHandlers.count(name) + published.CloseHandlers.count(name) > 0;
        if (otherKind)
            return Exception("The handler '" + name + "' does not fit the " + place.Describe());
        return Exception("Unknown handler '" + name + "' for the " + place.Describe() + ": " +
                         published.ClassName + " publishes no handler of that name");
    }

    static Exception UnknownProperty(const QString &property, const QString &owner,
                                     const char *className)
    {
        return Exception("Unknown property " + Quoted(property) + " of " + Quoted(owner) + " (" +
                         className + ")");
    }

    TForm &form;
    const TPublishedNames &published;
    double screenScale = 1.0;
    double pixelRatio = 1.0;
    QSet<QString> bound;
};

QJsonObject ParseLayout(const QByteArray &description)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(description, &error);
    if (!document.isObject())
        throw Exception("The layout description is not a JSON object: " +
                        error.errorString().toStdString() + " at offset " +
                        std::to_string(error.offset));
    return document.object();
}

} // namespace

void TForm::ReadLayout(const TPublishedNames &Published)
{
    for (const QFileInfo &entry : QDir(LayoutFolder).entryInfoList(QDir::Files)) {
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject root = ParseLayout(file.readAll());
        if (root.value("class").toString().toStdString() == Published.ClassName) {
            LayoutReader(*this, Published).Read(root);
            return;
        }
    }
    throw Exception("No layout is embedded for the class " + Published.ClassName);
}

void TForm::ReadLayout(const TPublishedNames &Published, const std::string &Description)
{
    LayoutReader(*this, Published).Read(ParseLayout(QByteArray::fromStdString(Description)));
}
