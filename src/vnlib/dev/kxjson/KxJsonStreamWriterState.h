#pragma once
// The states of the stream writer. Each state says whether writing is still possible, what
// separator comes before the next value, whether the next value must be an object key, where the
// writer goes after a value, and the whitespace of human-readable output. Every kind has one
// shared, immutable instance (sharedInstance()), made on first use.
class KxJsonStreamWriter;

class KxJsonStreamWriterState {
  public:
    virtual ~KxJsonStreamWriterState() = default;

    // Whether the writer can write no more (sets its error when so).
    virtual bool isInvalidState(KxJsonStreamWriter& writer) const;
    virtual void appendSeparator(KxJsonStreamWriter& writer) const;
    // Whether a key must come next (sets the writer's error when so).
    virtual bool expectingKey(KxJsonStreamWriter& writer) const;
    // Moves the writer on after a value.
    virtual void transitionState(KxJsonStreamWriter& writer) const;
    // A newline and two spaces for each enclosing container.
    virtual void appendWhitespace(KxJsonStreamWriter& writer) const;
};

// Before the top-level value.
class KxJsonStreamWriterStateStart : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateStart& sharedInstance();
    void transitionState(KxJsonStreamWriter& writer) const override;
};

// After the top-level value: nothing more may be written.
class KxJsonStreamWriterStateComplete : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateComplete& sharedInstance();
    bool isInvalidState(KxJsonStreamWriter& writer) const override;
};

// Right after "{".
class KxJsonStreamWriterStateObjectStart : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateObjectStart& sharedInstance();
    bool expectingKey(KxJsonStreamWriter& writer) const override;
    void transitionState(KxJsonStreamWriter& writer) const override;
};

// After a member's value: the next key or the close.
class KxJsonStreamWriterStateObjectKey : public KxJsonStreamWriterStateObjectStart {
  public:
    static const KxJsonStreamWriterStateObjectKey& sharedInstance();
    void appendSeparator(KxJsonStreamWriter& writer) const override;
};

// After a key: the member's value must come.
class KxJsonStreamWriterStateObjectValue : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateObjectValue& sharedInstance();
    void appendSeparator(KxJsonStreamWriter& writer) const override;
    void transitionState(KxJsonStreamWriter& writer) const override;
    void appendWhitespace(KxJsonStreamWriter& writer) const override;
};

// Right after "[".
class KxJsonStreamWriterStateArrayStart : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateArrayStart& sharedInstance();
    void transitionState(KxJsonStreamWriter& writer) const override;
};

// After an element.
class KxJsonStreamWriterStateArrayValue : public KxJsonStreamWriterState {
  public:
    static const KxJsonStreamWriterStateArrayValue& sharedInstance();
    void appendSeparator(KxJsonStreamWriter& writer) const override;
};
