#include "app/ui/guide_content.h"

GuideContent guideContent(Guide guide) {
    switch (guide) {
    case Guide::wifi:
        return {QStringLiteral("Connect with Wi-Fi"),
                QStringLiteral("A one-time setup, then go wireless."),
                {{QStringLiteral("Connect via USB first"),
                  QStringLiteral("Wireless needs a one-time USB setup \u2014 follow the \u201CConnect with USB\u201D steps.")},
                 {QStringLiteral("Join the same Wi-Fi"),
                  QStringLiteral("Make sure your phone and computer are on the same Wi-Fi network.")},
                 {QStringLiteral("Tap \u201CConnect via Wi-Fi\u201D"),
                  QStringLiteral("Once the device shows up over USB, click the \u201CConnect via Wi-Fi\u201D button on it.")},
                 {QStringLiteral("Unplug the cable"),
                  QStringLiteral("Your phone stays connected wirelessly \u2014 no cable needed.")}}};
    case Guide::usb:
        break;
    }
    return {QStringLiteral("Connect with USB"),
            QStringLiteral("Four quick steps over a cable."),
            {{QStringLiteral("Enable Developer Options"),
              QStringLiteral("On your phone, open Settings \u2192 About phone, then tap \u201CBuild number\u201D 7 times.")},
             {QStringLiteral("Turn on USB debugging"),
              QStringLiteral("Go to Settings \u2192 System \u2192 Developer options and enable \u201CUSB debugging\u201D.")},
             {QStringLiteral("Connect the cable"),
              QStringLiteral("Plug your phone into your computer with a USB cable.")},
             {QStringLiteral("Allow the connection"),
              QStringLiteral("On your phone, tap \u201CAllow\u201D when asked to trust this computer. Your device appears here.")}}};
}

QList<GuideOption> guideOptions() {
    return {{Guide::usb, QStringLiteral("Connect with USB"), QStringLiteral("Fastest and most reliable"),
             QStringLiteral("usb")},
            {Guide::wifi, QStringLiteral("Connect with Wi-Fi"), QStringLiteral("Cable-free, after a one-time setup"),
             QStringLiteral("wifi-high")}};
}

GuideOption pairingOption() {
    return {std::nullopt, QStringLiteral("Pair with a code"), QStringLiteral("Android 11 and later, no cable at all"),
            QStringLiteral("password")};
}
