// CPtrArray: a growable array of pointers to owned objects. It only appends,
// is read by index, and is emptied element by element (first element first)
// by its owner through vDeleteAll before it goes.
//
// Elements derive from CArrayItem, whose only virtual operation is the
// destructor, so that vDeleteAll can delete each element through its own
// class's destructor without knowing that class.
#pragma once

class CArrayItem {
public:
    CArrayItem() = default;
    CArrayItem(const CArrayItem&) = delete;
    CArrayItem& operator=(const CArrayItem&) = delete;
    virtual ~CArrayItem() = default;
};

class CPtrArray {
public:
    CPtrArray() = default;
    CPtrArray(const CPtrArray&) = delete;
    CPtrArray& operator=(const CPtrArray&) = delete;
    // Releases the block; does not delete the elements (call vDeleteAll first).
    ~CPtrArray();

    // Appends p and returns its index (the previous count). Grows the block by
    // nGrowBy slots, or when that is 0 by an eighth of the count, at least 4
    // and at most 1024, and never to less than what is needed.
    int nAdd(CArrayItem* p);
    // Deletes every element, first element first; each element is out of the
    // array while its destructor runs. The count ends at 0; the block stays.
    void vDeleteAll();

    // Element i, 0 <= i < nGetCount().
    CArrayItem* operator[](int i) const { return ppItems[i]; }
    int nGetCount() const { return nItems; }
    int nGetCapacity() const { return nCapacity; }
    // The block itself (null while the array has never held anything).
    CArrayItem* const* ppGetBlock() const { return ppItems; }

private:
    CArrayItem** ppItems = nullptr;  // null exactly when nCapacity is 0
    int nItems = 0;                  // slots 0 .. nItems-1 in use
    int nCapacity = 0;               // slots in the block
    int nGrowBy = 0;                 // fixed growth step; 0 chooses it from the count
};
