// SPDX-License-Identifier: Apache-2.0
// A form in memory: control texts by number, the key-length position, and every message
// box shown, with how many component instances were alive while it was up.
#pragma once

#include "core/certrequest.h"
#include "fakecertmgr.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

struct ShownBox {
    std::string text;
    std::string caption;
    MessageIcon icon;
    std::size_t instancesAlive;
};

class FakeForm : public IFormAccess {
public:
    std::map<int, std::string> texts;
    std::int32_t selection = 1;
    std::vector<ShownBox> boxes;
    // Control numbers in the order they were read; the key-length list counts as a read.
    std::vector<int> reads;
    // Reading this control throws, as a failing platform call would.
    int throwOnRead = 0;
    std::function<void()> onMessageBox;

    std::int32_t GetKeyLengthSelection() override {
        reads.push_back(IDC_KEY_LENGTH);
        return selection;
    }

    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override {
        boxes.push_back({text, caption, icon, fake::Component::Instance().Alive().size()});
        if (onMessageBox) {
            onMessageBox();
        }
    }

protected:
    std::string ControlText(int control) override {
        reads.push_back(control);
        if (control == throwOnRead) {
            throw std::runtime_error("control read failed");
        }
        auto it = texts.find(control);
        return it != texts.end() ? it->second : std::string();
    }
};
