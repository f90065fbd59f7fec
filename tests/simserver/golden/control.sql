declare @i int, @s varchar(40)
select @i = 1, @s = 'n:'
while @i <= 3
begin
    select @s = @s + convert(varchar(2), @i)
    select @i = @i + 1
end
if @i = 4
    print "loop done"
else
    print "loop broken"
select @s, @i
go
if exists (select 1 from sysobjects where name = 'no_such_thing')
    select 'found'
else
begin
    print 'nothing found'
    select 'none'
end
go
create table golden_tx (a int)
go
begin tran
insert golden_tx values (1)
select @@trancount
rollback tran
select count(*), @@trancount from golden_tx
go
begin transaction
insert golden_tx values (2)
commit transaction
select a from golden_tx
go
set rowcount 2
select a = 10 union all select 20 union all select 30
set rowcount 0
select a = 40 union all select 50 union all select 60
go
print "hello"
raiserror 20001 "boom"
select @@error
go
select * from no_such_table
go
select 1 2
go
select 'before'
declare @x int
select @x = 1 / 0
select 'not reached'
go
set arithabort arith_overflow off
go
declare @x int
select @x = 5
select @x = 1 / 0
select @x, @@error
go
set arithignore arith_overflow on
go
declare @x int
select @x = 1 / 0
select 'no message'
go
set arithignore arith_overflow off
set arithabort arith_overflow on
go
use no_such_db
go
select db_name()
go
set noexec on
go
select 'not executed'
go
set noexec off
go
set parseonly on
go
select 'not parsed'
go
set parseonly off
go
select 'executed again'
go
drop table golden_tx
go
