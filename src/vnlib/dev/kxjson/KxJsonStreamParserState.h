#pragma once
// The states of the stream parser. Each state says which tokens it accepts, where the parser goes
// after a token, what a parse answers when the input ends in it, and whether a string read in it
// is an object key. Every kind has one shared, immutable instance (sharedInstance()), made on
// first use; the parser holds plain pointers to them.
#include "vnlib/dev/kxjson/KxJsonTokeniser.h"

class KxJsonStreamParser;

// The answer of a parse.
enum KxJsonStreamParserStatus : int {
    KxJsonStreamParserComplete = 0,        // the outermost array or object has closed
    KxJsonStreamParserWaitingForData = 1,  // the input ended before that
    KxJsonStreamParserError = 2,           // the parser's error says why
};

class KxJsonStreamParserState {
  public:
    virtual ~KxJsonStreamParserState() = default;

    virtual bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                         KxJsonTokenType token) const;
    // Moves the parser on after `token` has been handled.
    virtual void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const;
    // The status of a parse whose input ends in this state.
    virtual KxJsonStreamParserStatus parserShouldReturn(const KxJsonStreamParser& parser) const;
    virtual bool needKey() const { return false; }
    virtual bool isError() const { return false; }
    // How error texts describe the state ("at array start").
    virtual const char* name() const = 0;
};

// Before the outermost array or object.
class KxJsonStreamParserStateStart : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateStart& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After the outermost array or object.
class KxJsonStreamParserStateComplete : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateComplete& sharedInstance();
    KxJsonStreamParserStatus parserShouldReturn(const KxJsonStreamParser& parser) const override;
    const char* name() const override;
};

// After a failure, for good.
class KxJsonStreamParserStateError : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateError& sharedInstance();
    KxJsonStreamParserStatus parserShouldReturn(const KxJsonStreamParser& parser) const override;
    bool isError() const override { return true; }
    const char* name() const override;
};

// Right after "{".
class KxJsonStreamParserStateObjectStart : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateObjectStart& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    bool needKey() const override { return true; }
    const char* name() const override;
};

// After a member key.
class KxJsonStreamParserStateObjectGotKey : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateObjectGotKey& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After ":", where the member value comes.
class KxJsonStreamParserStateObjectSeparator : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateObjectSeparator& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After a member value.
class KxJsonStreamParserStateObjectGotValue : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateObjectGotValue& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After "," in an object.
class KxJsonStreamParserStateObjectNeedKey : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateObjectNeedKey& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    bool needKey() const override { return true; }
    const char* name() const override;
};

// Right after "[".
class KxJsonStreamParserStateArrayStart : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateArrayStart& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After an element.
class KxJsonStreamParserStateArrayGotValue : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateArrayGotValue& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};

// After "," in an array.
class KxJsonStreamParserStateArrayNeedValue : public KxJsonStreamParserState {
  public:
    static const KxJsonStreamParserStateArrayNeedValue& sharedInstance();
    bool parserShouldAcceptToken(const KxJsonStreamParser& parser,
                                 KxJsonTokenType token) const override;
    void parserShouldTransitionTo(KxJsonStreamParser& parser, KxJsonTokenType token) const override;
    const char* name() const override;
};
