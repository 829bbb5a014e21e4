10 REM ひらがな、カタカナ、かんじのれい
20 CLS
30 PRINT "こんにちは、ＢＡＳＩＣ！"
40 PRINT "ガギグゲゴ　パピプペポ　ヴ"
50 PRINT Y;"年";M;"月";D;"日　";H;"時";N;"分"
60 DATA ねこ,いぬ,とり
70 FOR I=1 TO 3:READ A$:PRINT A$;"は";I*100;"円":NEXT I
80 PRINT "▲▼★◆○●　π×"
90 PRINT "┏━┓　大中小"
100 PRINT "┗━┛"
110 PRINT "ｱｲｳ　アイウ"
120 ＥＮＤ
