// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QComboBox>

// A drop-down list that tells its owner just before the list opens, so that the owner can
// rebuild the items the user is about to see.
class CPortComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void dropDown();
};
