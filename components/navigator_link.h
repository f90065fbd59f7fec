#pragma once
// What a data set needs of a record navigator bound to it by name: the binding name and the four
// movement buttons. A navigator class implements it; data sets walk NavigatorList at Execute.

#include <QString>

#include <vector>

class QObject;

namespace ostrim {

class NavigatorLink {
public:
    virtual ~NavigatorLink();

    // Every navigator whose Name was set, in order of entry. Unguarded: GUI thread only.
    static const std::vector<NavigatorLink*>& NavigatorList();
    // The first navigator whose DataSet is exactly dataSet, preferring one in the window of near
    // (the asking data set); nullptr when none.
    static NavigatorLink* findForDataSet(const QString& dataSet, const QObject* near = nullptr);
    // Whether link is still alive in the list (a data set keeps a pointer between moves).
    static bool isListed(const NavigatorLink* link);

    virtual QString Name() const = 0;
    virtual QString DataSet() const = 0;
    // Enables or disables the first, prior, next and last buttons.
    virtual void setMoveButtons(bool first, bool prior, bool next, bool last) = 0;
    // The navigator as a component, whose window decides which data set it belongs to; nullptr
    // when it lives in no window.
    virtual const QObject* linkObject() const { return nullptr; }

protected:
    NavigatorLink() = default;
    NavigatorLink(const NavigatorLink&) = delete;
    NavigatorLink& operator=(const NavigatorLink&) = delete;
    // Called by the implementing class when its Name is set.
    void enterNavigatorList();
};

} // namespace ostrim
