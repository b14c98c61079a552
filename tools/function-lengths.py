#!/usr/bin/env python3
"""Lists the C++ functions longer than a number of lines, longest first.

    tools/function-lengths.py LIMIT DIR...    e.g. tools/function-lengths.py 80 src

A function counts from the line of its name to its closing brace. The scan blanks
comments and string literals, then takes every outermost brace that follows a closing
parenthesis (and not an if, for, while, switch or catch, nor a lambda's capture) as a
function body; lambdas count as part of the function around them.
"""
import re, sys, os
limit = int(sys.argv[1]); roots = sys.argv[2:]
def strip(src):
    out=[];i=0;n=len(src)
    while i<n:
        c=src[i]
        if src.startswith('//',i):
            j=src.find('\n',i); j=n if j<0 else j; out.append(' '*(j-i)); i=j
        elif src.startswith('/*',i):
            j=src.find('*/',i)+2; out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif src.startswith('R"',i):
            m=re.match(r'R"([^(]*)\(',src[i:]); d=m.group(1); j=src.find(')'+d+'"',i)+len(d)+2
            out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif c=='"' or (c=="'" and not (i>0 and src[i-1].isalnum())):
            j=i+1
            while src[j]!=c:
                j+= 2 if src[j]=='\\' else 1
            out.append(c+re.sub(r'[^\n]',' ',src[i+1:j])+c); i=j+1
        else: out.append(c); i+=1
    return ''.join(out)
res=[]
for root in roots:
  for dp,_,fs in os.walk(root):
    for f in fs:
      if not f.endswith(('.cpp','.h')): continue
      p=os.path.join(dp,f); s=strip(open(p).read())
      # find '{' preceded (ignoring whitespace/const/noexcept/->type/initializers) by ')'
      depth=0; stack=[]
      for m in re.finditer(r'[{}]',s):
        if m.group()=='{':
          before=s[:m.start()].rstrip()
          head=before[-300:]
          isfunc=bool(re.search(r'\)\s*(const)?\s*(noexcept)?\s*(override)?\s*(->\s*[\w:<>,\s\*&]+)?$',before)) and not re.search(r'\b(if|for|while|switch|catch)\s*\([^;{}]*\)\s*$',head)
          if isfunc:
            # The name before the parameter list that the last ')' closes.
            k=len(before)-1
            while before[k]!=')': k-=1
            d=0
            while k>=0:
              if before[k]==')': d+=1
              elif before[k]=='(':
                d-=1
                if d==0: break
              k-=1
            pre=before[:k].rstrip()
            name=re.search(r'([\w:~]+|\])\s*$',pre)
            nm=name.group(1) if name else '?'
            nameline=s.count('\n',0,name.start(1))+1 if name else None
            if nm==']' or nm in ('if','for','while','switch','catch','return'): isfunc=False
          stack.append((isfunc, nameline if isfunc else 0, nm if isfunc else None))
        else:
          if not stack: continue
          isf,line,nm=stack.pop()
          if isf and not any(x[0] for x in stack):
            end=s.count('\n',0,m.start())+1
            L=end-line+1
            res.append((L,p,line,nm))
for L,p,line,nm in sorted(res,reverse=True):
  if L>limit: print(L,p,line,nm)
